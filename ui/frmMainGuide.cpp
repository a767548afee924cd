// The guide on the main window: the switch, the preview painted over the board, and the
// fuller rules page that Help shows while the guide is on.
#include <algorithm>

#include "ui/Accessibility.h"
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

void frmMain::ShowRulesPage() {
    if (pctRulesText == nullptr) {
        // Made on first need, so that a player who never turns the guide on has the
        // window's controls exactly as they always were.
        pctRulesText =
            new PictureBox(this, QStringLiteral("pctRulesText"), {0, 0, 620, 340}, false, true);
        pctRulesText->setStorePicture(QStringLiteral("pctRulesText"));
        pctRulesText->setPressable(true);
        Accessibility::SetKind(pctRulesText, Accessibility::Kind::Button);
        pctRulesText->setAccessibleName(tr("How to play"));
        pctRulesText->setAccessibleDescription(
            tr("Click a ball to remove its group: every ball of its colour joined to it along "
               "the rows, the columns and through the layers. A group needs at least two "
               "balls; each ball removed is worth 2 points. The balls above drop into the "
               "gaps, each in its own column and layer, and a column left empty in all three "
               "layers closes up from the right. Undo takes back the last move, one step only. "
               "The game ends when no two balls of one colour touch within a layer: a pair "
               "that touches only front to back does not keep it going. Click to go back."));
        connect(pctRulesText, &PictureBox::Click, this, &frmMain::pctHelpText_Click);
    }
    PlaceRulesPage();
    pctRulesText->setVisible(true);
}

void frmMain::PlaceRulesPage() {
    if (pctRulesText == nullptr) return;
    // Centred by the outer size like the help picture, but never past the client area: the
    // page is nearly as large as the window, and a tall title bar would cut its foot off.
    QPoint at = CentredOn(OuterSize(), pctRulesText->size());
    at.setX(std::min(at.x(), ClientWidth - pctRulesText->width()));
    at.setY(std::min(at.y(), ClientHeight - pctRulesText->height()));
    pctRulesText->move(at);
}

}  // namespace orbelix
