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

// The symbols that can stand on the balls, by colour code 1..13 (slot 0 unused): each
// 22 x 11, the symbol on black at x 0..10 and its mask at x 11..21, drawn like a ball.
using SymbolSprites = std::array<QPixmap, MaxColors + 1>;
constexpr int SymbolSize = 11;
// Where a symbol stands on its ball: centred on a front ball, and inside the crescent
// that shows of a middle or back ball.
QPoint SymbolOffset(int layer);

// Draws one sprite with its top-left corner at `at`: the mask is ANDed into the surface,
// blackening the disc, then the ball is XORed into the blackened disc. Pixels outside
// the disc are left as they were.
void DrawBallSprite(QPainter& surface, const QPixmap& sprite, QPoint at);
// The same AND-then-XOR drawing for a masked sprite of any square size.
void DrawMaskedSprite(QPainter& surface, const QPixmap& sprite, QPoint at, int size);

// Draws all 300 cells, empty ones included: rows top to bottom, columns left to right,
// and within a stack the back layer first so the front layer covers it.
// With `symbols`, each ball also gets its colour's symbol, drawn straight after the
// ball so that the balls in front cover it as they cover the ball.
void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites,
               const SymbolSprites* symbols = nullptr);

}  // namespace orbelix
