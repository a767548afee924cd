// Loading and saving the settings: sound, the high-score table and the colour count.
#include "app/frmMain.h"
#include "scores/SettingsFile.h"
#include "scores/StoredText.h"
#include "scores/mdlMain.h"

namespace orbelix {
namespace {

QString NameKey(int n) { return QStringLiteral("HighScoreName%1").arg(n); }
QString ScoreKey(int n) { return QStringLiteral("HighScore%1").arg(n); }

}  // namespace

void frmMain::LoadSettings() {
    const QHash<QString, QString> stored = SettingsFile::ReadAll();
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
    // Symbols on the balls: an on/off switch read and written like the sound's.
    SymbolsChosen = stored.contains(QStringLiteral("Symbols"));
    ShowSymbols = ReadStoredSound(read(QStringLiteral("Symbols"), QStringLiteral("0")));
}

void frmMain::SaveSettings() {
    SettingsFile::Entries entries;
    entries.append({QStringLiteral("Sound"), WriteStoredSound(SoundIsOn())});
    for (int n = 1; n <= mdlMain::TableRows; ++n) {
        entries.append({NameKey(n), mdlMain::HighScoreNames[n]});
        entries.append({ScoreKey(n), WriteStoredScore(mdlMain::HighScores[n])});
    }
    entries.append({QStringLiteral("ColorCount"), WriteStoredColorCount(ColorCount)});
    // Only once the player has used the switch: a store that never had it keeps exactly
    // the game's own keys.
    if (SymbolsChosen) entries.append({QStringLiteral("Symbols"), WriteStoredSound(ShowSymbols)});
    SettingsFile::WriteAll(entries);
    ++SaveCount;
}

}  // namespace orbelix
