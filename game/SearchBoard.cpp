#include "game/SearchBoard.h"

#include <cstring>

namespace orbelix {

namespace {

// Collects the group of `start` into `out` by a depth-first fill over the six face
// neighbours, marking each member in `seen`. Returns the group's size; `inLayer` is set
// when two of its balls touch within a layer.
template <typename Seen>
int Fill(const std::array<uint8_t, SearchBoard::Size>& cells, int start, Seen& seen, int16_t mark,
         int16_t* out, bool& inLayer) {
    const uint8_t colour = cells[start];
    int n = 0;
    int top = 0;
    out[top++] = static_cast<int16_t>(start);
    seen[start] = mark;
    while (n < top) {
        const int i = out[n++];
        const int row = i % Rows;
        const int layer = (i / Rows) % Layers;
        const int column = i / SearchBoard::ColumnStride;
        const auto visit = [&](bool exists, int j, bool within) {
            if (!exists || cells[j] != colour) return;
            inLayer |= within;
            if (seen[j] == mark) return;
            seen[j] = mark;
            out[top++] = static_cast<int16_t>(j);
        };
        visit(row > 0, i - 1, true);
        visit(row < Rows - 1, i + 1, true);
        visit(column > 0, i - SearchBoard::ColumnStride, true);
        visit(column < Columns - 1, i + SearchBoard::ColumnStride, true);
        visit(layer > 0, i - SearchBoard::LayerStride, false);
        visit(layer < Layers - 1, i + SearchBoard::LayerStride, false);
    }
    return n;
}

}  // namespace

SearchBoard::SearchBoard(const BoardGrid& board, int16_t columnsInUse)
    : columnsInUse_(columnsInUse) {
    for (int c = 0; c < Columns; ++c)
        for (int l = 0; l < Layers; ++l)
            for (int r = 0; r < Rows; ++r) {
                const int16_t v = board(c + 1, r + 1, l + 1);
                cells_[Index(c, l, r)] = static_cast<uint8_t>(v);
                balls_ = static_cast<int16_t>(balls_ + (v != 0));
            }
}

Cell SearchBoard::ToCell(int index) {
    return {static_cast<int16_t>(index % Rows + 1), static_cast<int16_t>(index / ColumnStride + 1),
            static_cast<int16_t>((index / LayerStride) % Layers + 1)};
}

int SearchBoard::FromCell(Cell cell) {
    return Index(cell.column - 1, cell.layer - 1, cell.row - 1);
}

BoardGrid SearchBoard::ToGrid() const {
    BoardGrid grid;
    for (int i = 0; i < Size; ++i) {
        const Cell cell = ToCell(i);
        grid(cell.column, cell.row, cell.layer) = cells_[i];
    }
    return grid;
}

int SearchBoard::Play(int index) {
    if (cells_[index] == 0) return 0;
    std::array<int16_t, Size> seen{};
    int16_t members[Size];
    bool inLayer = false;
    const int n = Fill(cells_, index, seen, 1, members, inLayer);
    if (n < 2) {
        CloseUpColumns();
        return n;
    }
    std::array<uint8_t, Size> marked{};
    for (int k = 0; k < n; ++k) marked[members[k]] = 1;
    RemoveMarked(marked);
    return n;
}

void SearchBoard::RemoveMarked(const std::array<uint8_t, Size>& marked) {
    // Each stack keeps its unmarked cells in order, moved down to the bottom row; what
    // is freed at the top is empty. Empty cells inside a stack move down with the rest.
    for (int s = 0; s < Columns * Layers; ++s) {
        const int base = s * Rows;
        int removed = 0;
        for (int r = 0; r < Rows; ++r) removed += marked[base + r];
        if (removed == 0) continue;
        int write = Rows - 1;
        for (int r = Rows - 1; r >= 0; --r) {
            if (marked[base + r]) {
                balls_ = static_cast<int16_t>(balls_ - (cells_[base + r] != 0));
                continue;
            }
            cells_[base + write--] = cells_[base + r];
        }
        for (; write >= 0; --write) cells_[base + write] = 0;
    }
    CloseUpColumns();
}

void SearchBoard::CloseUpColumns() {
    static constexpr uint8_t empty[ColumnStride] = {};
    int c = 0;
    while (c < columnsInUse_ - 1) {
        uint8_t* column = cells_.data() + c * ColumnStride;
        if (std::memcmp(column, empty, ColumnStride) != 0) {
            ++c;
            continue;
        }
        std::memmove(column, column + ColumnStride, (Columns - 1 - c) * ColumnStride);
        std::memset(cells_.data() + (Columns - 1) * ColumnStride, 0, ColumnStride);
        --columnsInUse_;
    }
}

void GroupScan::Scan(const SearchBoard& board) {
    label_.fill(-1);
    count_ = 0;
    bool anyInLayer = false;
    int16_t members[SearchBoard::Size];
    for (int i = 0; i < SearchBoard::Size; ++i) {
        if (board.cells_[i] == 0 || label_[i] != -1) continue;
        bool inLayer = false;
        const int n = Fill(board.cells_, i, label_, -2, members, inLayer);
        anyInLayer |= inLayer;
        if (n < 2) continue;
        for (int k = 0; k < n; ++k) label_[members[k]] = static_cast<int16_t>(count_);
        groups_[count_++] = {static_cast<int16_t>(i), static_cast<int16_t>(n), board.cells_[i]};
    }
    if (!anyInLayer) count_ = 0;
}

void GroupScan::Play(SearchBoard& board, int i) const {
    std::array<uint8_t, SearchBoard::Size> marked{};
    for (int k = 0; k < SearchBoard::Size; ++k) marked[k] = label_[k] == i;
    board.RemoveMarked(marked);
}

}  // namespace orbelix
