#pragma once

#include <QHash>
#include <QString>
#include <chrono>
#include <cstdint>

#include "game/BoardModel.h"
#include "scores/HighScoreTable.h"

namespace orbelix {

// The options the settings keep besides the table.
struct Options {
    bool Sound = false;
    int16_t ColorCount = MinColors;
    int16_t Zoom = 1;
    bool Symbols = false;
    bool Guide = false;
    // Whether a plain start goes on with the kept game.
    bool AlwaysResume = false;
};

enum class SaveResult {
    Saved,
    Waiting,  // another copy holds the lock: nothing written, the change is still to save
    Failed,   // reported on stderr
};

struct SettingsChange;

// Loading and saving the settings: the options and the high-score table. Several copies
// of the game may share the file, so a save merges with what is on disk: an option is
// written when this copy changed it since it last read or wrote the file (the game's own
// options also when the file lacks them), the table by the table's own rules. Changes
// that other copies could not save before they ended (kept in side files) are taken in.
class SettingsStore {
  public:
    // Reads the file: returns the options and fills the table (an option or row the
    // file lacks takes its default).
    Options LoadSettings(HighScoreTable& table);
    // One save: merges the options and the table with the file and writes it, waiting up
    // to `patience` for another copy that holds the lock. When saved, the table becomes
    // the merged one, other copies' entries included, and the row awaiting a name follows
    // its entry. When not, everything changed stays to be saved by a later call.
    SaveResult SaveSettings(const Options& options, HighScoreTable& table,
                            std::chrono::milliseconds patience = {});
    // For a copy that ends without having saved: keeps what it changed in its side file.
    bool KeepAside(const Options& options, const HighScoreTable& table);
    // Brings the table up to the file's (other copies' entries and resets), keeping what
    // this copy changed and has not saved yet.
    void ReloadTable(HighScoreTable& table);

    // How many saves were asked for, so that a caller can tell the store was written.
    int saveCount() const { return SaveCount; }

  private:
    SettingsChange ChangeFrom(const Options& options, const HighScoreTable& table) const;

    int SaveCount = 0;
    // What this copy last read from or wrote to the file.
    QHash<QString, QString> StoredOptions;
    ScoreTable StoredTable;
    int StoredResets = 0;
};

}  // namespace orbelix
