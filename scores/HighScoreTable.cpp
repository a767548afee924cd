#include "scores/HighScoreTable.h"

namespace orbelix {

void HighScoreTable::PlaceScore(int32_t score) {
    NewEntryRow = 0;
    for (int r = 1; r <= TableRows && NewEntryRow == 0; ++r) {
        if (score < HighScores[r]) continue;
        NewEntryRow = static_cast<int16_t>(r);
        for (int h = TableRows; h >= r + 1; --h) {
            HighScoreNames[h] = HighScoreNames[h - 1];
            HighScores[h] = HighScores[h - 1];
        }
        HighScoreNames[r].clear();
        HighScores[r] = score;
    }
}

void HighScoreTable::ClearHighScores() {
    ++Resets;
    for (int r = 1; r <= TableRows; ++r) {
        HighScoreNames[r].clear();
        HighScores[r] = 0;
    }
}

void HighScoreTable::AppendToName(QChar character) {
    if (NewEntryRow != 0) HighScoreNames[NewEntryRow].append(character);
}

void HighScoreTable::ChopName() {
    if (NewEntryRow != 0) HighScoreNames[NewEntryRow].chop(1);
}

ScoreTable HighScoreTable::entries() const {
    ScoreTable table;
    for (int r = 1; r <= TableRows; ++r) table.append({HighScoreNames[r], HighScores[r]});
    return table;
}

void HighScoreTable::assign(const ScoreTable& rows) {
    for (int r = 1; r <= TableRows; ++r) {
        const TableEntry entry = rows.value(r - 1);
        HighScoreNames[r] = entry.name;
        HighScores[r] = entry.score;
    }
}

void HighScoreTable::setRow(int row, const QString& name, int32_t score) {
    if (row < 1 || row > TableRows) return;
    HighScoreNames[row] = name;
    HighScores[row] = score;
}

}  // namespace orbelix
