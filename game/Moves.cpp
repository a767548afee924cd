#include "game/Moves.h"

namespace orbelix {

bool GroupList::InGroup(int16_t layer, int16_t row, int16_t column) const {
    for (int j = 1; j <= GroupCount; ++j) {
        if (GroupLayer[j] == layer && GroupRow[j] == row && GroupColumn[j] == column) return true;
    }
    return false;
}

void GroupList::append(int row, int column, int layer) {
    ++GroupCount;
    GroupRow[GroupCount] = static_cast<int16_t>(row);
    GroupColumn[GroupCount] = static_cast<int16_t>(column);
    GroupLayer[GroupCount] = static_cast<int16_t>(layer);
}

int CollectGroup(const BoardGrid& board, GroupList& group, Cell clicked) {
    group.GroupCount = 0;
    group.append(clicked.row, clicked.column, clicked.layer);

    int n = 0;
    for (int i = 1; i <= group.GroupCount; ++i) {
        ++n;
        const int r = group.GroupRow[i];
        const int c = group.GroupColumn[i];
        const int l = group.GroupLayer[i];
        const int16_t colour = board(c, r, l);

        const auto tryNeighbour = [&](bool exists, int nr, int nc, int nl) {
            if (!exists || board(nc, nr, nl) != colour) return;
            if (!group.InGroup(static_cast<int16_t>(nl), static_cast<int16_t>(nr),
                               static_cast<int16_t>(nc)))
                group.append(nr, nc, nl);
        };
        tryNeighbour(r >= 2, r - 1, c, l);
        tryNeighbour(r <= Rows - 1, r + 1, c, l);
        tryNeighbour(c >= 2, r, c - 1, l);
        tryNeighbour(c <= Columns - 1, r, c + 1, l);
        tryNeighbour(l >= 2, r, c, l - 1);
        tryNeighbour(l <= Layers - 1, r, c, l + 1);
    }
    return n;
}

void RemoveAndSettle(BoardGrid& board, const GroupList& group, int n,
                     const std::function<void()>& removed) {
    bool marked[Columns + 1][Rows + 1][Layers + 1] = {};
    for (int i = 1; i <= n; ++i) {
        const Cell cell = group.at(i);
        marked[cell.column][cell.row][cell.layer] = true;
    }

    // Each column of each layer is walked from the top down. A removed ball's row is
    // visited again, because the ball above has dropped into it.
    for (int l = 1; l <= Layers; ++l) {
        for (int c = 1; c <= Columns; ++c) {
            int r = 1;
            while (r <= Rows) {
                if (!marked[c][r][l]) {
                    ++r;
                    continue;
                }
                board(c, r, l) = 0;
                removed();
                for (int k = r; k >= 2; --k) {
                    board(c, k, l) = board(c, k - 1, l);
                    marked[c][k][l] = marked[c][k - 1][l];
                }
                marked[c][r][l] = false;
                board(c, 1, l) = 0;
            }
        }
    }
}

int16_t CloseUpColumns(BoardGrid& board, int16_t columnsInUse) {
    int c = 1;
    while (c < columnsInUse) {
        int empty = 0;
        for (int l = 1; l <= Layers; ++l)
            for (int r = 1; r <= Rows; ++r) empty += board(c, r, l) == 0;
        if (empty != Rows * Layers) {
            ++c;
            continue;
        }
        for (int k = c; k <= Columns - 1; ++k)
            for (int l = 1; l <= Layers; ++l)
                for (int r = 1; r <= Rows; ++r) board(k, r, l) = board(k + 1, r, l);
        for (int l = 1; l <= Layers; ++l)
            for (int r = 1; r <= Rows; ++r) board(Columns, r, l) = 0;
        --columnsInUse;
    }
    return columnsInUse;
}

bool AnyMovesLeft(const BoardGrid& board) {
    for (int l = 1; l <= Layers; ++l)
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r) {
                const int16_t v = board(c, r, l);
                if (v == 0) continue;
                if ((r > 1 && board(c, r - 1, l) == v) || (r < Rows && board(c, r + 1, l) == v) ||
                    (c > 1 && board(c - 1, r, l) == v) || (c < Columns && board(c + 1, r, l) == v))
                    return true;
            }
    return false;
}

}  // namespace orbelix
