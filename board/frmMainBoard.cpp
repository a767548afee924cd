// The board on the main window: new game, drawing, hit testing, undo and the score.
#include "app/Accessibility.h"
#include "app/frmMain.h"

namespace orbelix {

void frmMain::DrawBoard() {
    pctBoard->Cls();
    DrawBallsOnBoard();
    pctBoard->Refresh();
}

void frmMain::DrawBallsOnBoard() {
    PictureBox::SpriteList sprites;
    sprites.reserve(2 * Rows * Columns * Layers);
    ForEachBallSprite(
        Board, Sprites(), [&sprites](const QPixmap& sprite, QPoint at) { sprites.emplace_back(at, sprite); },
        Symbols());
    pctBoard->drawSprites(sprites);
}

void frmMain::FillBoard() {
    FillRandom(Board, ColorCount, Random);
    ColumnsInUse = Columns;
}

void frmMain::pctNew_Click() {
    GameInProgress = true;
    FillBoard();
    pctOrbelix->setVisible(false);
    // After a game whose score took no table row, "Game Over!" still stands where the
    // board was: the new board must be seen and played.
    pctGameOver->setVisible(false);
    pctBoard->setVisible(true);

    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const QPoint at = BallPlacement(c, r, l);
                Tables.BallLeft[c][l] = static_cast<int16_t>(at.x());
                Tables.BallTop[r][l] = static_cast<int16_t>(at.y());
            }
    // Every sprite position is drawn, so nothing of the last game shows through.
    DrawBallsOnBoard();

    Score = 0;
    UndoAvailable = false;
    ShowScore();
    pctBoard->Refresh();
}

void frmMain::pctBoard_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPointF position) {
    if (!GameInProgress) return;
    Cell cell;
    if (!HitTest(Tables, position, cell)) return;
    RemoveGroup(cell.row, cell.column, cell.layer);
}

void frmMain::pctUndo_Click() {
    if (!GameInProgress || !UndoAvailable) return;
    Board = UndoBoard;
    ColumnsInUse = UndoColumnsInUse;
    DrawBoard();
    Score = UndoScore;
    ShowScore();
}

void frmMain::ShowScore() {
    const QString text = FormatScore(Score);
    for (qsizetype a = 1; a <= text.size(); ++a) {
        const qsizetype element = 6 - a;
        const int digit = text[a - 1].unicode() - '0';
        if (element < 0 || digit < 0 || digit > 9) continue;
        imgScore[element]->setPicture(imgDigit[digit]->picture());
    }
    Accessibility::SetValue(imgScore[0], Score);
}

}  // namespace orbelix
