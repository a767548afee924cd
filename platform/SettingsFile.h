#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// The per-user settings store: an INI file ($XDG_CONFIG_HOME/Orbelix/Orbelix.ini, or
// ~/.config/Orbelix/Orbelix.ini), every value a text in the section "Settings", in the
// format QSettings reads and writes. Every copy of the game that runs shares it, so a
// save is one cycle under one lock: read the file again, merge, replace the file.
// Only a regular file of at most MaxFileSize bytes is read or replaced; a symbolic link
// is followed to its target. Nothing here waits for the lock longer than its caller
// allows, and nothing in the lock's place can make it block.
namespace orbelix::SettingsFile {

inline constexpr char Section[] = "Settings";
inline constexpr qint64 MaxFileSize = 1024 * 1024;

// The file's path; empty when there is no home folder to keep it in (HOME unset and no
// absolute XDG_CONFIG_HOME).
QString Path();

using Entries = QList<std::pair<QString, QString>>;
using Keys = QHash<QString, QString>;

// ---- Changes kept aside. ----
// A copy that cannot take the lock before it ends keeps its change in a side file next
// to the settings file (Orbelix.ini.unsaved-PID-TIME, one per process, replaced
// atomically like the file itself). The next save of any copy applies every such change
// to the file and removes the side file; reading applies them too. What a change holds
// is up to the caller: a Fold applies one change to the keys on disk and returns the
// keys to write.
using Fold = std::function<Entries(const Keys& onDisk, const Keys& change)>;

// Keeps `change` in this process's side file. Returns false, after one line on stderr,
// when it could not be written; says where it went otherwise.
bool KeepAside(const Entries& change);

// The change the save under way carries, so that a program that has to end in the middle
// of it (its main thread stuck) can still keep it aside, from any thread.
void SetChangeInFlight(const Entries& change);
void ClearChangeInFlight();
bool KeepChangeInFlight();

// ---- Reading. ----
// Every key of the section with its text. A missing, unreadable, oversized or special
// file gives no keys. Side files are not applied.
Keys ReadAll();

// What start-up reads: as ReadAll with the side files applied, but a file larger than
// MaxFileSize is set aside (renamed with the suffix ".too-large") and a file that cannot
// be read is reported, each with one line on stderr.
Keys Load(const Fold& fold);

// The keys as the next save would find them, side files applied: read under the lock
// when it is free at once, else without it (the file is only ever replaced whole).
// Nothing when the file is there but cannot be read.
std::optional<Keys> ReadCurrent(const Fold& fold);

// ---- Saving. ----
enum class Outcome {
    Saved,
    Busy,    // another copy holds the lock; nothing was written
    Failed,  // reported on stderr; the old file stays as it was
};

// One save cycle: under the lock, the side files are applied (when `fold` is given) and
// `merge` gets the keys on disk then and returns the keys to write; every other key on
// disk is kept. The file is replaced atomically, so a crash at any moment leaves the old
// file or the new one. A lock held by another copy is waited for up to `patience`, never
// broken while its holder lives; a save that finds it busy says so once on stderr, and
// again only after a save has gone through.
using Merge = std::function<Entries(const Keys& onDisk)>;
Outcome Update(const Merge& merge, const Fold& fold, std::chrono::milliseconds patience);

// Writes the keys given, over whatever is on disk, waiting up to ten seconds for the lock.
bool WriteAll(const Entries& entries);

// The INI text of the section "Settings", and back. Values are strings, escaped and
// quoted the way QSettings does, so either can read what the other wrote.
Entries ParseIni(const QByteArray& text);
QByteArray FormatIni(const Entries& entries);

}  // namespace orbelix::SettingsFile
