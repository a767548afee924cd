#pragma once

// The pieces of the settings file that its parts share: bounded reading, atomic writing,
// the lock, and the side files. Only the settings file's own sources include this.
#include <chrono>

#include "platform/SafeFile.h"
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
// only a regular file of at most MaxFileSize bytes that `trust` allows. With AnyRegular,
// a symbolic link is followed to its target first; otherwise a link is never followed.
FileContents ReadBounded(const QString& path, SafeFile::Trust trust);
Keys ToKeys(const Entries& entries);
// Each change replaces the entry of its key or is added at the end.
void Apply(Entries& entries, const Entries& changes);

// ---- The lock shared by every copy of the game. ----
enum class LockState { Taken, Busy, Failed };
// The lock while it is held; let go when this goes.
class HeldLock {
  public:
    HeldLock() = default;
    ~HeldLock();
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

  private:
    friend LockState TakeLock(HeldLock&, const QString&, std::chrono::milliseconds, QString&);
    QString path_;
};
// Takes the lock at `lockPath`, waiting up to `patience` for a live holder; a holder that
// has ended is broken. Whatever is in the lock's place and is no lock file is reported
// and moved aside. Nothing opened can block. `problem` tells why the lock is busy or could
// not be made.
LockState TakeLock(HeldLock& lock, const QString& lockPath, std::chrono::milliseconds patience,
                   QString& problem);

// ---- Side files. ----
struct SideFile {
    QString path;
    Keys change;
    QString mark;  // what tells this change from every other, once taken in
};
// The side files next to the settings file at `path`, oldest first. Only regular files of
// this user with one link are read; anything else is named once and set aside.
QList<SideFile> SideFiles(const QString& path);
// Applies the side files' changes to `entries`, each at most once: the marks of the
// changes taken in are kept in the entries too.
void ApplySideFiles(Entries& entries, const QList<SideFile>& sideFiles, const Fold& fold);

}  // namespace orbelix::SettingsFile
