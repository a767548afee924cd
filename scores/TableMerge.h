#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <utility>

#include "scores/HighScoreTable.h"

// Merging the high-score table of this copy of the game with the one another copy has
// saved meanwhile, by the table's own insertion rule.
namespace orbelix {

// The table held in a settings file's keys (HighScoreName1.., HighScore1..; with a
// prefix, PrefixHighScoreName1..), and the keys that hold a table.
ScoreTable TableFromKeys(const QHash<QString, QString>& keys, const QString& prefix = QString());
QList<std::pair<QString, QString>> TableKeys(const ScoreTable& table,
                                             const QString& prefix = QString());

struct MergedTable {
    ScoreTable table;
    int16_t newEntryRow = 0;  // where this copy's row awaiting a name went; 0 if it left
};

// `base` is the table as this copy last read or wrote it, `ours` its table now and
// `disk` the table in the file now; `reset` tells that this copy emptied its table
// since `base`. Every entry that either side holds survives as far as the rules keep
// it: the entries on disk in their order, less those this copy removed (by a reset or
// by pushing them out), with this copy's new entries placed by the insertion rule (a
// new entry goes above the equal ones) and its renamed entries changed where they are.
// `ourNewEntryRow` is the row of `ours` awaiting a name (0 for none).
MergedTable MergeTables(const ScoreTable& base, const ScoreTable& ours, const ScoreTable& disk,
                        bool reset, int16_t ourNewEntryRow);

}  // namespace orbelix
