#include "game/Guide.h"

#include <algorithm>
#include <cstdlib>

#include "game/Moves.h"

namespace orbelix {
namespace {

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The order of drawing: a cell drawn later has a larger rank.
int DrawingRank(int column, int row, int layer) {
    return (row * (Columns + 1) + column) * (Layers + 1) + (Layers - layer);
}

Cell MakeCell(int row, int column, int layer) {
    return {static_cast<int16_t>(row), static_cast<int16_t>(column), static_cast<int16_t>(layer)};
}

// Takes `cut` out of every run of `runs`; `left` is room to work in.
void Subtract(std::vector<Span>& runs, Span cut, std::vector<Span>& left) {
    left.clear();
    for (const Span& run : runs) {
        if (cut.end <= run.begin || run.end <= cut.begin) {
            left.push_back(run);
            continue;
        }
        if (run.begin < cut.begin) left.push_back({run.begin, cut.begin});
        if (cut.end < run.end) left.push_back({cut.end, run.end});
    }
    runs.swap(left);
}

}  // namespace

GroupPreview PreviewGroup(const BoardGrid& board, Cell cell) {
    GroupPreview preview;
    preview.at = cell;
    if (board(cell.column, cell.row, cell.layer) == 0) return preview;
    // The search a move makes, on a list of its own so that the game's list is untouched.
    GroupList group;
    preview.size = CollectGroup(board, group, cell);
    preview.points = preview.isMove() ? 2 * preview.size : 0;
    preview.cells.reserve(static_cast<size_t>(preview.size));
    for (int i = 1; i <= preview.size; ++i) preview.cells.push_back(group.at(i));
    return preview;
}

SpriteShape::SpriteShape(int side, const std::function<bool(int x, int y)>& draws) : side_(side) {
    rowStart_.reserve(static_cast<size_t>(side) + 1);
    for (int y = 0; y < side; ++y) {
        rowStart_.push_back(static_cast<int>(spans_.size()));
        for (int x = 0; x < side;) {
            if (!draws(x, y)) {
                ++x;
                continue;
            }
            const int begin = x;
            while (x < side && draws(x, y)) ++x;
            spans_.push_back({begin, x});
        }
    }
    rowStart_.push_back(static_cast<int>(spans_.size()));
}

std::span<const Span> SpriteShape::row(int y) const {
    if (y < 0 || y >= side_) return {};
    return std::span<const Span>(spans_).subspan(
        static_cast<size_t>(rowStart_[y]), static_cast<size_t>(rowStart_[y + 1] - rowStart_[y]));
}

bool SpriteShape::draws(int x, int y) const {
    return std::ranges::any_of(row(y), [x](Span run) { return run.begin <= x && x < run.end; });
}

bool CellOnTop(const BoardGrid& board, const SpriteShapes& shapes, QPoint device, Cell& found) {
    const int side = shapes[0].side();
    const int scale = side / BallSize;
    if (scale < 1) return false;
    int best = -1;
    // In each layer one row and one column at most hold the pixel: stacks are 49 pixels
    // apart and rows 30, both more than a ball's 25.
    for (int l = 1; l <= Layers; ++l) {
        const int column = FloorDiv(device.x() - 12 * l * scale, 49 * scale) + 1;
        const int row = FloorDiv(device.y() + 5 * l * scale, 30 * scale);
        if (column < 1 || column > Columns || row < 1 || row > Rows) continue;
        const QPoint corner = BallPlacement(column, row, l) * scale;
        const int rank = DrawingRank(column, row, l);
        if (rank > best &&
            shapes[board(column, row, l)].draws(device.x() - corner.x(), device.y() - corner.y())) {
            best = rank;
            found = MakeCell(row, column, l);
        }
    }
    return best >= 0;
}

void VisibleRuns(const BoardGrid& board, const SpriteShapes& shapes, Cell cell,
                 const std::function<void(int y, Span run)>& visible) {
    const int side = shapes[0].side();
    const int scale = side / BallSize;
    const QPoint corner = BallPlacement(cell.column, cell.row, cell.layer) * scale;
    const int rank = DrawingRank(cell.column, cell.row, cell.layer);

    // Sprites drawn later that reach into this one's square: only the neighbouring rows
    // and columns can (a stack is 49 pixels wide, a row of stacks 35 pixels high).
    struct Cover {
        QPoint corner;
        const SpriteShape* shape;
    };
    std::vector<Cover> covers;
    for (int r = std::max(1, cell.row - 1); r <= std::min(Rows, cell.row + 1); ++r)
        for (int c = std::max(1, cell.column - 1); c <= std::min(Columns, cell.column + 1); ++c)
            for (int l = 1; l <= Layers; ++l) {
                if (DrawingRank(c, r, l) <= rank) continue;
                const QPoint at = BallPlacement(c, r, l) * scale;
                if (std::abs(at.x() - corner.x()) < side && std::abs(at.y() - corner.y()) < side)
                    covers.push_back({at, &shapes[board(c, r, l)]});
            }

    const SpriteShape& own = shapes[board(cell.column, cell.row, cell.layer)];
    std::vector<Span> runs;
    std::vector<Span> scratch;
    for (int y = 0; y < side; ++y) {
        runs.clear();
        for (const Span& run : own.row(y))
            runs.push_back({corner.x() + run.begin, corner.x() + run.end});
        for (const Cover& cover : covers)
            for (const Span& cut : cover.shape->row(corner.y() + y - cover.corner.y()))
                Subtract(runs, {cover.corner.x() + cut.begin, cover.corner.x() + cut.end}, scratch);
        for (const Span& run : runs) visible(corner.y() + y, run);
    }
}

}  // namespace orbelix
