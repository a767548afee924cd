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

// Draws all 300 cells, empty ones included: rows top to bottom, columns left to right,
// and within a stack the back layer first so the front layer covers it.
void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites);

}  // namespace orbelix
