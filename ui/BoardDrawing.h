#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <array>

#include "game/BoardModel.h"

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

// Goes through all 300 cells, empty ones included, in drawing order: rows top to
// bottom, columns left to right, and within a stack the back layer first so the front
// layer covers it; calls draw(sprite, place) for each. With `symbols`, each ball's
// symbol follows straight after the ball, so that the balls in front cover it as they
// cover the ball.
template <typename Draw>
void ForEachBallSprite(const BoardGrid& board, const BallSprites& sprites, Draw draw,
                       const SymbolSprites* symbols = nullptr) {
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const int code = board(c, r, l);
                const QPoint at = BallPlacement(c, r, l);
                draw(sprites[code], at);
                if (symbols != nullptr && code != 0) draw((*symbols)[code], at + SymbolOffset(l));
            }
}

// Draws all 300 cells (and their symbols) onto a 1x image, in the order above.
void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites,
               const SymbolSprites* symbols = nullptr);

}  // namespace orbelix
