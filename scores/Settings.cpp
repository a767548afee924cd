#include "scores/Settings.h"

#include "platform/SettingsFile.h"
#include "scores/StoredText.h"
#include "scores/TableMerge.h"

namespace orbelix {
namespace {

QString NameKey(int n) {
    return QStringLiteral("HighScoreName%1").arg(n);
}
QString ScoreKey(int n) {
    return QStringLiteral("HighScore%1").arg(n);
}

// The game's own options as they are stored, one key each.
SettingsFile::Entries GameOptions(const Options& options) {
    return {
        {QStringLiteral("Sound"), WriteStoredSound(options.Sound)},
        {QStringLiteral("ColorCount"), WriteStoredColorCount(options.ColorCount)},
    };
}

// Options that only the player's own choice puts into the file (the zoom, say): written
// once they differ from what this copy last read or wrote, so that a player who never
// touches them keeps a file of the game's own keys.
SettingsFile::Entries ChosenOptions(const Options& options) {
    return {
        {QStringLiteral("Zoom"), QString::number(options.Zoom)},
        {QStringLiteral("Symbols"), WriteStoredSound(options.Symbols)},
        {QStringLiteral("Guide"), WriteStoredSound(options.Guide)},
    };
}

}  // namespace

Options SettingsStore::LoadSettings(HighScoreTable& table) {
    const QHash<QString, QString> stored = SettingsFile::Load();
    const auto read = [&stored](const QString& key, const QString& missing) {
        return stored.value(key, missing);
    };

    Options options;
    options.Sound = ReadStoredSound(read(QStringLiteral("Sound"), QStringLiteral("0")));
    for (int n = 1; n <= TableRows; ++n)
        table.setRow(n, read(NameKey(n), QString()),
                     ReadStoredScore(read(ScoreKey(n), QStringLiteral("0"))));
    options.ColorCount =
        ReadStoredColorCount(read(QStringLiteral("ColorCount"), QStringLiteral("6")));
    options.Zoom = ReadStoredZoom(read(QStringLiteral("Zoom"), QStringLiteral("1")));
    // Symbols on the balls: an on/off switch read and written like the sound's.
    options.Symbols = ReadStoredSound(read(QStringLiteral("Symbols"), QStringLiteral("0")));
    // The guide's switch likewise.
    options.Guide = ReadStoredSound(read(QStringLiteral("Guide"), QStringLiteral("0")));

    StoredOptions.clear();
    for (const auto& [key, text] : GameOptions(options) + ChosenOptions(options))
        StoredOptions.insert(key, text);
    StoredTable = table.entries();
    StoredResets = table.resets();
    return options;
}

bool SettingsStore::SaveSettings(const Options& options, HighScoreTable& table) {
    ++SaveCount;
    const SettingsFile::Entries own = GameOptions(options);
    const SettingsFile::Entries chosen = ChosenOptions(options);
    const ScoreTable ours = table.entries();
    const bool reset = table.resets() != StoredResets;
    MergedTable merged;
    const bool saved = SettingsFile::Update([&](const QHash<QString, QString>& onDisk) {
        SettingsFile::Entries entries;
        for (const auto& [key, text] : own)
            if (text != StoredOptions.value(key) || !onDisk.contains(key))
                entries.append({key, text});
        for (const auto& [key, text] : chosen)
            if (text != StoredOptions.value(key)) entries.append({key, text});
        merged = MergeTables(StoredTable, ours, TableFromKeys(onDisk), reset, table.newEntryRow());
        for (int n = 1; n <= TableRows; ++n) {
            entries.append({NameKey(n), merged.table[n - 1].name});
            entries.append({ScoreKey(n), WriteStoredScore(merged.table[n - 1].score)});
        }
        return entries;
    });
    if (!saved) return false;

    // This copy now holds what the file holds: its own changes and the other copies'.
    for (const auto& [key, text] : own + chosen) StoredOptions.insert(key, text);
    table.assign(merged.table);
    if (table.newEntryRow() != 0) table.setNewEntryRow(merged.newEntryRow);
    StoredTable = merged.table;
    StoredResets = table.resets();
    return true;
}

}  // namespace orbelix
