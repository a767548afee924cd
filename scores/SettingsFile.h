#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <utility>

// The per-user settings store: an INI file kept by QSettings for organisation and
// application "Orbelix" ($XDG_CONFIG_HOME/Orbelix/Orbelix.ini on Linux), every value a
// text in the section "Settings".
namespace orbelix::SettingsFile {

inline constexpr char Section[] = "Settings";

QString Path();

// Every key of the section with its text. A missing or unreadable file gives no keys.
QHash<QString, QString> ReadAll();

// Writes the keys in the given order. The file is replaced atomically, so a crash at
// any moment leaves the old file or the new one. Returns false when it could not be
// written (a read-only folder, say); the game goes on either way.
using Entries = QList<std::pair<QString, QString>>;
bool WriteAll(const Entries& entries);

// A lock file left behind by a save that was killed would make the next save wait
// half a minute; remove it when it is stale. Bounded to well under a second.
void ClearStaleLock();

}  // namespace orbelix::SettingsFile
