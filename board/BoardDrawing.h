#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <array>

#include "board/BoardModel.h"

namespace orbelix {

// The ball sprites by colour code: each 50 x 25, the ball on black at x 0..24 and its
// mask (black disc on white) at x 25..49. Code 0 is the dim ball of an empty cell.
using BallSprites = std::array<QPixmap, MaxColors + 1>;

// Draws one sprite with its top-left corner at `at`: the mask is ANDed into the surface,
// blackening the disc, then the ball is XORed into the blackened disc. Pixels outside
// the disc are left as they were.
void DrawBallSprite(QPainter& surface, const QPixmap& sprite, QPoint at);

// Goes through all 300 cells, empty ones included, in drawing order: rows top to
// bottom, columns left to right, and within a stack the back layer first so the front
// layer covers it; calls draw(sprite, place) for each.
template <typename Draw>
void ForEachBallSprite(const BoardGrid& board, const BallSprites& sprites, Draw draw) {
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) draw(sprites[board(c, r, l)], BallPlacement(c, r, l));
}

// Draws all 300 cells onto a 1x image, in the order above.
void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites);

}  // namespace orbelix
