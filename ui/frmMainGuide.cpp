// The guide on the main window: the switch and the preview painted over the board.
#include "ui/frmMain.h"

namespace orbelix {

void frmMain::SetUpGuide() {
    Guide = new BoardGuide(
        pctBoard, game_, Cursor, [this] { return Sprites(); },
        [this] { return BoardTakesMoves(); });
}

void frmMain::ToggleGuide() {
    Guide->setOn(!Guide->on());
}

void frmMain::PaintGuide(QPainter& painter) const {
    if (Guide != nullptr) Guide->paint(painter);
}

}  // namespace orbelix
