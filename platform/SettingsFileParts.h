#pragma once

// The pieces of the settings file that its parts share: bounded reading, atomic writing,
// the lock, and the side files. Only the settings file's own sources include this.
#include <QLockFile>
#include <chrono>

#include "platform/SettingsFile.h"

namespace orbelix::SettingsFile {

// One line on stderr, "orbelix: ..." (from any thread).
void Say(const QString& line);
QString SystemError(int error);

// ---- Reading and writing, bounded in size and kind. ----
enum class Kind { Missing, Regular, TooLarge, Special, Unreadable };
struct FileContents {
    Kind kind = Kind::Missing;
    QByteArray bytes;
    QString problem;
};
// Opens without blocking (a FIFO in the file's place must not hang the game) and reads
// only a regular file of at most MaxFileSize bytes. Symbolic links are followed.
FileContents ReadBounded(const QString& path);
// Replaces the file at `path` atomically with `bytes`.
bool WriteAtomically(const QString& path, const QByteArray& bytes, QString& problem);
Keys ToKeys(const Entries& entries);
// Each change replaces the entry of its key or is added at the end.
void Apply(Entries& entries, const Entries& changes);

// ---- The lock shared by every copy of the game. ----
enum class LockState { Taken, Busy, Failed };
// Takes the lock at `lockPath`, waiting up to `patience` for a live holder. Whatever is
// in the lock's place and is no lock file is reported and moved aside first, so that
// nothing there can block. `problem` tells why the lock is busy or could not be made.
LockState TakeLock(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds patience,
                   QString& problem);

// ---- Side files. ----
struct SideFile {
    QString path;
    Keys change;
};
// The side files next to the settings file at `path`, oldest first.
QList<SideFile> SideFiles(const QString& path);
// Applies the side files' changes to `entries`.
void ApplySideFiles(Entries& entries, const QList<SideFile>& sideFiles, const Fold& fold);

}  // namespace orbelix::SettingsFile
