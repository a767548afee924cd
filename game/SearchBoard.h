#pragma once

#include <array>
#include <cstdint>

#include "game/BoardModel.h"

namespace orbelix {

// A small, copyable board for searching: one byte per cell and no pixel tables, undo or
// sounds, so that a move costs a few microseconds. Cells are numbered column by column,
// then layer, then row (0 top .. 9 bottom), so a column's 30 cells lie side by side and
// closing up a column is one block move. Moves follow the same rules as the game: the
// six-way group, the balls above dropping within their own column and layer, and every
// column left of the last one in use that is empty in all three layers closing up.
class SearchBoard {
  public:
    static constexpr int Size = CellCount;
    static constexpr int ColumnStride = Rows * Layers;
    static constexpr int LayerStride = Rows;

    SearchBoard() = default;
    SearchBoard(const BoardGrid& board, int16_t columnsInUse);

    static int Index(int column0, int layer0, int row0) {
        return column0 * ColumnStride + layer0 * LayerStride + row0;
    }
    // The game's (row, column, layer), all 1-based, of a cell number.
    static Cell ToCell(int index);
    static int FromCell(Cell cell);

    uint8_t at(int index) const { return cells_[index]; }
    int ballsLeft() const { return balls_; }
    int columnsInUse() const { return columnsInUse_; }
    BoardGrid ToGrid() const;

    // The move a click on `index` makes: a group of two or more is removed, the balls
    // above drop and empty columns close up. Returns the group's size (1 for a lone
    // ball, which removes nothing; 0 for an empty cell).
    int Play(int index);

  private:
    friend class GroupScan;
    void RemoveMarked(const std::array<uint8_t, Size>& marked);
    void CloseUpColumns();

    std::array<uint8_t, Size> cells_{};
    int16_t balls_ = 0;
    int16_t columnsInUse_ = 0;
};

// The groups of one position, each found once: every ball gets the number of its group,
// and every group its size, colour and the first of its cells in cell order.
class GroupScan {
  public:
    struct Group {
        int16_t first;  // a cell of the group; clicking it removes the whole group
        int16_t size;
        uint8_t colour;
    };

    // Scans `board`. A group of one ball is not listed. When the game is over (no
    // in-layer pair), no group is listed either, since no move can be made.
    void Scan(const SearchBoard& board);

    int count() const { return count_; }
    const Group& group(int i) const { return groups_[i]; }
    // Removes group i from the board the scan was made of.
    void Play(SearchBoard& board, int i) const;

  private:
    std::array<int16_t, SearchBoard::Size> label_{};
    std::array<Group, SearchBoard::Size / 2> groups_{};
    int count_ = 0;
};

// A small deterministic generator (xorshift64*) for playouts: the same seed gives the
// same games on every machine and library.
class SearchRandom {
  public:
    explicit SearchRandom(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in 0..n-1 (n >= 1).
    int below(int n) { return static_cast<int>(((next() >> 32) * static_cast<uint64_t>(n)) >> 32); }

  private:
    uint64_t state_;
};

}  // namespace orbelix
