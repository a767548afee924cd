#include "board/BoardDrawing.h"

namespace orbelix {

void DrawBallSprite(QPainter& surface, const QPixmap& sprite, QPoint at) {
    surface.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    surface.drawPixmap(at, sprite, QRect(BallSize, 0, BallSize, BallSize));
    surface.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    surface.drawPixmap(at, sprite, QRect(0, 0, BallSize, BallSize));
}

void DrawBalls(QImage& surface, const BoardGrid& board, const BallSprites& sprites) {
    QPainter painter(&surface);
    ForEachBallSprite(board, sprites,
                      [&painter](const QPixmap& sprite, QPoint at) { DrawBallSprite(painter, sprite, at); });
}

}  // namespace orbelix
