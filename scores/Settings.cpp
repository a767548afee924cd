#include "scores/Settings.h"

#include "platform/SettingsFile.h"
#include "scores/SettingsChange.h"
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
        {QStringLiteral("AlwaysResume"), WriteStoredSound(options.AlwaysResume)},
    };
}

}  // namespace

Options SettingsStore::LoadSettings(HighScoreTable& table) {
    const QHash<QString, QString> stored = SettingsFile::Load(ApplyKeptChange);
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
    // Whether a plain start resumes the kept game, likewise.
    options.AlwaysResume =
        ReadStoredSound(read(QStringLiteral("AlwaysResume"), QStringLiteral("0")));

    StoredOptions.clear();
    for (const auto& [key, text] : GameOptions(options) + ChosenOptions(options))
        StoredOptions.insert(key, text);
    StoredTable = table.entries();
    StoredResets = table.resets();
    return options;
}

SettingsChange SettingsStore::ChangeFrom(const Options& options,
                                         const HighScoreTable& table) const {
    SettingsChange change;
    for (const auto& [key, text] : GameOptions(options))
        change.options.append({key, text, text == StoredOptions.value(key)});
    for (const auto& [key, text] : ChosenOptions(options))
        if (text != StoredOptions.value(key)) change.options.append({key, text});
    change.base = StoredTable;
    change.ours = table.entries();
    change.reset = table.resets() != StoredResets;
    change.newEntryRow = table.newEntryRow();
    return change;
}

SaveResult SettingsStore::SaveSettings(const Options& options, HighScoreTable& table,
                                       std::chrono::milliseconds patience) {
    ++SaveCount;
    const SettingsChange change = ChangeFrom(options, table);
    // Should the program have to end in the middle of this save, the change is kept aside.
    SettingsFile::SetChangeInFlight(change.ToKeys());
    MergedTable merged;
    const SettingsFile::Outcome outcome = SettingsFile::Update(
        [&](const SettingsFile::Keys& onDisk) { return change.ApplyTo(onDisk, &merged); },
        ApplyKeptChange, patience);
    if (outcome == SettingsFile::Outcome::Busy) return SaveResult::Waiting;
    if (outcome == SettingsFile::Outcome::Failed) return SaveResult::Failed;
    SettingsFile::ClearChangeInFlight();

    // This copy now holds what the file holds: its own changes and the other copies'.
    for (const auto& [key, text] : GameOptions(options) + ChosenOptions(options))
        StoredOptions.insert(key, text);
    table.assign(merged.table);
    if (table.newEntryRow() != 0) table.setNewEntryRow(merged.newEntryRow);
    StoredTable = merged.table;
    StoredResets = table.resets();
    return SaveResult::Saved;
}

bool SettingsStore::KeepAside(const Options& options, const HighScoreTable& table) {
    if (!SettingsFile::KeepAside(ChangeFrom(options, table).ToKeys())) return false;
    SettingsFile::ClearChangeInFlight();
    return true;
}

void SettingsStore::ReloadTable(HighScoreTable& table) {
    const std::optional<SettingsFile::Keys> onDisk = SettingsFile::ReadCurrent(ApplyKeptChange);
    if (!onDisk) return;
    const ScoreTable disk = TableFromKeys(*onDisk);
    const MergedTable merged = MergeTables(StoredTable, table.entries(), disk,
                                           table.resets() != StoredResets, table.newEntryRow());
    table.assign(merged.table);
    if (table.newEntryRow() != 0) table.setNewEntryRow(merged.newEntryRow);
    // What this copy has not saved yet is what its table holds beyond the file's.
    StoredTable = disk;
    StoredResets = table.resets();
}

}  // namespace orbelix
