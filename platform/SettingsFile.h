#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// The per-user settings store: an INI file ($XDG_CONFIG_HOME/Orbelix/Orbelix.ini, or
// ~/.config/Orbelix/Orbelix.ini), every value a text in the section "Settings", in the
// format QSettings reads and writes. Every copy of the game that runs shares it, so a
// save is one cycle under one lock: read the file again, merge, replace the file.
// Only a regular file of at most MaxFileSize bytes is read or replaced; a symbolic link
// is followed to its target.
namespace orbelix::SettingsFile {

inline constexpr char Section[] = "Settings";
inline constexpr qint64 MaxFileSize = 1024 * 1024;

// The file's path; empty when there is no home folder to keep it in (HOME unset and no
// absolute XDG_CONFIG_HOME).
QString Path();

using Entries = QList<std::pair<QString, QString>>;

// Every key of the section with its text. A missing, unreadable, oversized or special
// file gives no keys.
QHash<QString, QString> ReadAll();

// What start-up reads: as ReadAll, but a file larger than MaxFileSize is set aside
// (renamed with the suffix ".too-large") and a file that cannot be read is reported,
// each with one line on stderr.
QHash<QString, QString> Load();

// One save cycle: under the lock, `merge` gets the keys on disk now and returns the keys
// to write; every other key on disk is kept. The file is replaced atomically, so a crash
// at any moment leaves the old file or the new one. Returns false, after one line on
// stderr, when the file could not be written; the old file then stays as it was.
using Merge = std::function<Entries(const QHash<QString, QString>& onDisk)>;
bool Update(const Merge& merge);

// Writes the keys given, over whatever is on disk.
bool WriteAll(const Entries& entries);

// The INI text of the section "Settings", and back. Values are strings, escaped and
// quoted the way QSettings does, so either can read what the other wrote.
Entries ParseIni(const QByteArray& text);
QByteArray FormatIni(const Entries& entries);

}  // namespace orbelix::SettingsFile
