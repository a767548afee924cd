// Loading and saving the settings: sound, the high-score table and the colour count.
// Several copies of the game may share the file: a save merges with what is on disk.
#include "app/frmMain.h"
#include "scores/SettingsFile.h"
#include "scores/StoredText.h"
#include "scores/mdlMain.h"

namespace orbelix {
namespace {

QString NameKey(int n) {
    return QStringLiteral("HighScoreName%1").arg(n);
}
QString ScoreKey(int n) {
    return QStringLiteral("HighScore%1").arg(n);
}

// The options as this copy would store them now, one key each. An option is written
// only when its text differs from what this copy last read or wrote, so a copy that
// did not touch an option leaves another copy's change of it alone.
SettingsFile::Entries Options(const frmMain& window) {
    return {
        {QStringLiteral("Sound"), WriteStoredSound(window.SoundIsOn())},
        {QStringLiteral("ColorCount"), WriteStoredColorCount(window.ColorCount)},
    };
}

// Options that only the player's own choice puts into the file (the zoom, say): written
// once they differ from what this copy last read or wrote, so that a player who never
// touches them keeps a file of the game's own keys.
SettingsFile::Entries ChosenOptions(const frmMain& window) {
    return {
        {QStringLiteral("Zoom"), QString::number(window.StoredZoom)},
        {QStringLiteral("Symbols"), WriteStoredSound(window.ShowSymbols)},
    };
}

ScoreTable TableInMemory() {
    ScoreTable table;
    for (int n = 1; n <= mdlMain::TableRows; ++n)
        table.append({mdlMain::HighScoreNames[n], mdlMain::HighScores[n]});
    return table;
}

}  // namespace

void frmMain::LoadSettings() {
    const QHash<QString, QString> stored = SettingsFile::Load();
    const auto read = [&stored](const QString& key, const QString& missing) {
        return stored.value(key, missing);
    };

    const bool soundOn = ReadStoredSound(read(QStringLiteral("Sound"), QStringLiteral("0")));
    pctSound->setPicture(soundOn ? pctSoundOn->picture() : pctSoundOff->picture());
    for (int n = 1; n <= mdlMain::TableRows; ++n) {
        mdlMain::HighScoreNames[n] = read(NameKey(n), QString());
        mdlMain::HighScores[n] = ReadStoredScore(read(ScoreKey(n), QStringLiteral("0")));
    }
    ColorCount = ReadStoredColorCount(read(QStringLiteral("ColorCount"), QStringLiteral("6")));
    StoredZoom = ReadStoredZoom(read(QStringLiteral("Zoom"), QStringLiteral("1")));
    // Symbols on the balls: an on/off switch read and written like the sound's.
    ShowSymbols = ReadStoredSound(read(QStringLiteral("Symbols"), QStringLiteral("0")));

    Stored.options.clear();
    for (const auto& [key, text] : Options(*this) + ChosenOptions(*this)) Stored.options.insert(key, text);
    Stored.table = TableInMemory();
    Stored.tableResets = mdlMain::TableResets;
}

void frmMain::SaveSettings() {
    ++SaveCount;
    const SettingsFile::Entries options = Options(*this);
    const SettingsFile::Entries chosen = ChosenOptions(*this);
    const ScoreTable ours = TableInMemory();
    MergedTable merged;
    const bool saved = SettingsFile::Update([&](const QHash<QString, QString>& onDisk) {
        SettingsFile::Entries entries;
        for (const auto& [key, text] : options)
            if (text != Stored.options.value(key) || !onDisk.contains(key))
                entries.append({key, text});
        for (const auto& [key, text] : chosen)
            if (text != Stored.options.value(key)) entries.append({key, text});
        merged = MergeTables(Stored.table, ours, TableFromKeys(onDisk),
                             mdlMain::TableResets != Stored.tableResets, mdlMain::NewEntryRow);
        for (int n = 1; n <= mdlMain::TableRows; ++n) {
            entries.append({NameKey(n), merged.table[n - 1].name});
            entries.append({ScoreKey(n), WriteStoredScore(merged.table[n - 1].score)});
        }
        return entries;
    });
    if (!saved) return;

    // This copy now holds what the file holds: its own changes and the other copies'.
    for (const auto& [key, text] : options + chosen) Stored.options.insert(key, text);
    for (int n = 1; n <= mdlMain::TableRows; ++n) {
        mdlMain::HighScoreNames[n] = merged.table[n - 1].name;
        mdlMain::HighScores[n] = merged.table[n - 1].score;
    }
    if (mdlMain::NewEntryRow != 0) mdlMain::NewEntryRow = merged.newEntryRow;
    Stored.table = merged.table;
    Stored.tableResets = mdlMain::TableResets;
}

}  // namespace orbelix
