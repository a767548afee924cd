#pragma once

#include <QPoint>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <random>

namespace orbelix {

constexpr int Columns = 10;
constexpr int Rows = 10;
constexpr int Layers = 3;
constexpr int CellCount = Columns * Rows * Layers;
constexpr int BallSize = 25;  // a ball sprite is 25 x 25 pixels
constexpr int MinColors = 6;
constexpr int MaxColors = 13;

// A colour code per cell: 0 empty, 1..13 a ball. Indices are 1-based (column 1..10,
// row 1..10 from the top, layer 1..3 from the front); slot 0 of every dimension exists
// and is never used. Layer varies fastest in memory, then row, then column.
struct BoardGrid {
    int16_t cell[Columns + 1][Rows + 1][Layers + 1] = {};

    int16_t& operator()(int column, int row, int layer) { return cell[column][row][layer]; }
    int16_t operator()(int column, int row, int layer) const { return cell[column][row][layer]; }
    bool operator==(const BoardGrid&) const = default;
    int ballCount() const;
};

// Where the sprite of (column, row, layer) has its top-left corner on the playing surface.
// Deeper layers sit 12 pixels further right and 5 pixels higher. Drawing and hit testing
// both place balls by this one formula.
QPoint BallPlacement(int column, int row, int layer);

// The pixel tables that hit testing reads: BallLeft(column, layer) and BallTop(row, layer).
struct PixelTables {
    int16_t BallLeft[Columns + 1][Layers + 1] = {};
    int16_t BallTop[Rows + 1][Layers + 1] = {};
};

struct Cell {
    int16_t row = 0;
    int16_t column = 0;
    int16_t layer = 0;
    bool operator==(const Cell&) const = default;
};

// Turns a pointer position on the playing surface into the cell under it, by bands:
// the row from y alone (the upper row wins where two rows overlap), then the column
// and layer from x alone (the front ball's full width, then the crescents of the
// middle and back balls). Comparisons are made in single precision and include both
// ends of each window. Returns false where no row or no column matches.
bool HitTest(const PixelTables& tables, QPointF position, Cell& found);

// A uniform generator of [0, 1) in single precision, and of board numbers.
class UniformRandom {
  public:
    void seed(uint32_t value) { engine_.seed(value); }
    float next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }
    // A whole number drawn uniformly from 1..MaxBoardNumber.
    uint32_t nextBoardNumber();

  private:
    std::mt19937 engine_;
};

// Fills every cell with an independent, uniformly drawn colour 1..colorCount.
void FillRandom(BoardGrid& board, int16_t colorCount, UniformRandom& random);

// Board numbers: every dealt board has one, 1..MaxBoardNumber, and the same number and
// colour count give the same board on every machine and in every version. The generator
// is std::mt19937 (fixed by the C++ standard) seeded with the number, drawn in the order
// of FillRandom; changing either changes every numbered board.
constexpr uint32_t MinBoardNumber = 1;
constexpr uint32_t MaxBoardNumber = 999999999;
BoardGrid DealNumbered(uint32_t number, int16_t colorCount);

// The score as the game shows it: its digits, padded with zeros to at least six.
QString FormatScore(int32_t score);

}  // namespace orbelix
