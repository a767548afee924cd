#pragma once

#include <QPoint>
#include <array>
#include <functional>
#include <span>
#include <vector>

#include "game/BoardModel.h"

namespace orbelix {

// What the guide shows for one cell: the group that a click on it would remove, as the
// move collects it, and what that would score.
struct GroupPreview {
    Cell at;
    int size = 0;             // 0 for an empty cell, 1 for a lone ball
    int points = 0;           // 2 a ball when the group is a move, else 0
    std::vector<Cell> cells;  // the group in the order the move finds it (empty for an empty cell)

    bool isMove() const { return size >= 2; }
};

GroupPreview PreviewGroup(const BoardGrid& board, Cell cell);

// A run of pixels [begin, end) along one row.
struct Span {
    int begin = 0;
    int end = 0;
    bool operator==(const Span&) const = default;
};

// Where a ball sprite draws at one device scale: for each of its rows, the runs of
// pixels that its mask blackens (the disc). A sprite is a square of side() pixels.
class SpriteShape {
  public:
    SpriteShape() = default;
    // `draws(x, y)` tells whether the sprite draws the pixel x, y of its square.
    SpriteShape(int side, const std::function<bool(int x, int y)>& draws);

    int side() const { return side_; }
    std::span<const Span> row(int y) const;
    bool draws(int x, int y) const;
    bool operator==(const SpriteShape&) const = default;

  private:
    int side_ = 0;
    std::vector<Span> spans_;
    std::vector<int> rowStart_;  // spans_ of row y are rowStart_[y] .. rowStart_[y + 1] - 1
};

// The sprite shapes by colour code (0 the empty cell's ball), all at one device scale:
// a ball's side is BallSize times that scale.
using SpriteShapes = std::array<SpriteShape, MaxColors + 1>;

// The cell whose sprite is drawn on top at a device pixel of the playing surface, by the
// sprites' shapes in drawing order: later rows over earlier ones, later columns over
// earlier ones, and within a stack the front over the back. Empty cells count: their grey
// ball covers what lies behind it. Returns false where no sprite draws.
bool CellOnTop(const BoardGrid& board, const SpriteShapes& shapes, QPoint device, Cell& found);

// The part of a cell's sprite that shows: its runs of device pixels on the playing
// surface that no sprite drawn after it covers. Calls visible(y, span) for each run.
void VisibleRuns(const BoardGrid& board, const SpriteShapes& shapes, Cell cell,
                 const std::function<void(int y, Span run)>& visible);

}  // namespace orbelix
