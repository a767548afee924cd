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
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l)
                DrawBallSprite(painter, sprites[board(c, r, l)], BallPlacement(c, r, l));
}

}  // namespace orbelix
