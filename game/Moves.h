#pragma once

#include <cstdint>
#include <functional>

#include "game/BoardModel.h"

namespace orbelix {

// The group being removed: three parallel lists (slots 1..GroupCount in use, slot 0
// never) of the row, column and layer of each member, in the order they were found.
struct GroupList {
    int16_t GroupRow[CellCount + 1] = {};
    int16_t GroupColumn[CellCount + 1] = {};
    int16_t GroupLayer[CellCount + 1] = {};
    int16_t GroupCount = 0;

    // Whether slots 1..GroupCount hold exactly this cell. Note the argument order.
    bool InGroup(int16_t layer, int16_t row, int16_t column) const;
    Cell at(int slot) const { return {GroupRow[slot], GroupColumn[slot], GroupLayer[slot]}; }
    void append(int row, int column, int layer);
};

// Collects the group of same-coloured balls connected to the clicked ball, breadth-first.
// The list is its own queue; around each member the six neighbours are tried in the
// order row above, row below, column left, column right, layer in front, layer behind.
// The clicked cell must hold a ball. Returns the group size (1 for a lone ball).
int CollectGroup(const BoardGrid& board, GroupList& group, Cell clicked);

// Removes the first n cells of the group and lets the balls above each gap fall within
// their own column and layer. `removed` runs once for each ball taken out.
void RemoveAndSettle(BoardGrid& board, const GroupList& group, int n,
                     const std::function<void()>& removed);

// Closes up every column left of `columnsInUse` that is empty in all three layers by
// moving the columns to its right one place left. Returns the new count of columns in use.
int16_t CloseUpColumns(BoardGrid& board, int16_t columnsInUse);

// Whether some ball has a same-coloured neighbour within its own layer (above, below,
// left or right). Balls that touch only front to back do not count.
bool AnyMovesLeft(const BoardGrid& board);

}  // namespace orbelix
