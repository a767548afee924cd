#include "board/BoardDrawing.h"

namespace orbelix {

void DrawMaskedSprite(QPainter& surface, const QPixmap& sprite, QPoint at, int size) {
    surface.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    surface.drawPixmap(at, sprite, QRect(size, 0, size, size));
    surface.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    surface.drawPixmap(at, sprite, QRect(0, 0, size, size));
}

void DrawBallSprite(QPainter& surface, const QPixmap& sprite, QPoint at) {
    DrawMaskedSprite(surface, sprite, at, BallSize);
}

QPoint SymbolOffset(int layer) { return layer == 1 ? QPoint(7, 7) : QPoint(13, 7); }

void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites,
               const SymbolSprites* symbols) {
    QPainter painter(&surface);
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const int code = board(c, r, l);
                const QPoint at = BallPlacement(c, r, l);
                DrawBallSprite(painter, sprites[code], at);
                if (symbols != nullptr && code != 0)
                    DrawMaskedSprite(painter, (*symbols)[code], at + SymbolOffset(l), SymbolSize);
            }
}

}  // namespace orbelix
