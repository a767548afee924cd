#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace orbelix {

constexpr int TableRows = 10;
constexpr int MaxNameLength = 7;

// One row of the table as the settings store and the merge of several copies see it.
struct TableEntry {
    QString name;
    int32_t score = 0;
    bool operator==(const TableEntry&) const = default;
};
// Rows 1..10 at indexes 0..9.
using ScoreTable = QList<TableEntry>;

// The ten best results with their names, best first, and the row that a new result has
// taken and that still awaits its name. One table lives as long as the main window; the
// high-score window, the settings and the screen reader are handed it by reference.
class HighScoreTable {
  public:
    // Row 1..10's name and score.
    const QString& name(int row) const { return HighScoreNames[row]; }
    int32_t score(int row) const { return HighScores[row]; }
    // The row that was just given to a new result and still awaits its name; 0 for none.
    int16_t newEntryRow() const { return NewEntryRow; }
    void setNewEntryRow(int16_t row) { NewEntryRow = row; }

    // Places a finished game's score: the first row whose score it reaches takes it (so a
    // tie ranks the newer result first), the rows below move down one and the old row 10
    // drops out. The new row's name is empty. The new entry row becomes that row, or 0.
    void PlaceScore(int32_t score);

    // Empties the table: ten empty names with score 0.
    void ClearHighScores();
    // How many times the table was emptied, so a save can tell a reset from other changes.
    int resets() const { return Resets; }

    // Name entry in the new entry row: a character added at the end, the last one taken off.
    void AppendToName(QChar character);
    void ChopName();

    // The rows as plain entries, and the whole table replaced by such entries (missing
    // rows empty).
    ScoreTable entries() const;
    void assign(const ScoreTable& rows);
    void setRow(int row, const QString& name, int32_t score);

  private:
    // Rows 1..10, best first; slot 0 is never used.
    QString HighScoreNames[TableRows + 1];
    int32_t HighScores[TableRows + 1] = {};
    int16_t NewEntryRow = 0;
    int Resets = 0;
};

}  // namespace orbelix
