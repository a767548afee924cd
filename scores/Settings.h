#pragma once

#include <QHash>
#include <QString>
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
};

// Loading and saving the settings: the options and the high-score table. Several copies
// of the game may share the file, so a save merges with what is on disk: an option is
// written when this copy changed it since it last read or wrote the file (the game's own
// options also when the file lacks them), the table by the table's own rules.
class SettingsStore {
  public:
    // Reads the file: returns the options and fills the table (an option or row the
    // file lacks takes its default).
    Options LoadSettings(HighScoreTable& table);
    // One save: merges the options and the table with the file and writes it. On success
    // the table becomes the merged one, other copies' entries included, and the row
    // awaiting a name follows its entry. Returns false when the file could not be written.
    bool SaveSettings(const Options& options, HighScoreTable& table);

    // How many saves were asked for, so that a caller can tell the store was written.
    int saveCount() const { return SaveCount; }

  private:
    int SaveCount = 0;
    // What this copy last read from or wrote to the file.
    QHash<QString, QString> StoredOptions;
    ScoreTable StoredTable;
    int StoredResets = 0;
};

}  // namespace orbelix
