#include "ui/BoardDrawing.h"

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

QPoint SymbolOffset(int layer) {
    return layer == 1 ? QPoint(7, 7) : QPoint(13, 7);
}

void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites,
               const SymbolSprites* symbols) {
    QPainter painter(&surface);
    ForEachBallSprite(
        board, sprites,
        [&painter](const QPixmap& sprite, QPoint at) {
            DrawMaskedSprite(painter, sprite, at, sprite.height());
        },
        symbols);
}

}  // namespace orbelix
