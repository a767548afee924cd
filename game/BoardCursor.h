#pragma once

#include <QString>

#include "game/BoardModel.h"

namespace orbelix {

// The keyboard cursor: one cell of the board that the arrow keys move and the layer key
// steps through. It is state of its own, beside the board: it never changes Board and
// is drawn over the shown board, never into the back image.
struct BoardCursor {
    Cell at{1, 1, 1};  // row, column, layer
    bool visible = false;

    // Moves by whole cells and stops at the board's edges. Returns whether it moved.
    bool move(int columns, int rows);
    // Front, middle, back, front again.
    void nextLayer();
};

// The name of a ball colour code as the player sees it ("red"); 0 is an empty cell.
QString ColourName(int code);

// What a screen reader says for the cell under the cursor: where it is, what lies there,
// the size of its group and what removing that group would score.
QString DescribeCell(const BoardGrid& board, Cell cell);

}  // namespace orbelix
