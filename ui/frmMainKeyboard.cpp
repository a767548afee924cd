// Playing without a mouse: the keyboard cursor over the board, the symbols on the balls,
// the keys of the main window, and what the controls are to a screen reader.
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

#include "ui/Accessibility.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"

namespace orbelix {

void frmMain::SetUpKeyboard() {
    pctBoard->setOverlay([this](QPainter& painter) {
        PaintGuide(painter);
        PaintCursor(painter);
    });

    // Any mouse press on the window hides the cursor and a button's focus frame: the mouse
    // player sees the game as before.
    for (PictureBox* control : findChildren<PictureBox*>())
        connect(control, &PictureBox::MouseDown, this, &frmMain::MouseUsed);
    // Reached by Tab, the board says the cell under the cursor.
    pctBoard->installEventFilter(this);

    using Accessibility::Kind;
    Accessibility::Install();
    // Tab goes from the board down the column of buttons.
    pctBoard->setFocusPolicy(Qt::TabFocus);
    Accessibility::SetKind(pctBoard, Kind::Board);
    QWidget* previous = pctBoard;
    for (PictureBox* button :
         {pctNew, pctHighScores, pctColors[0], pctSound, pctUndo, pctHelp, pctAbout, pctExit}) {
        button->setPressable(true);
        Accessibility::SetKind(button, Kind::Button);
        setTabOrder(previous, button);
        previous = button;
    }
    for (PictureBox* page : {pctHelpText, pctAboutText}) {
        page->setPressable(true);
        Accessibility::SetKind(page, Kind::Button);
    }
    Accessibility::SetKind(imgScore[0], Kind::Score);
    imgScore[0]->setAccessibleName(tr("Score"));
    for (int i = 1; i < 6; ++i) Accessibility::SetKind(imgScore[i], Kind::Hidden);
    Accessibility::SetKind(pctOrbelix, Kind::Label);
    pctOrbelix->setAccessibleName(QStringLiteral("Orbelix"));
    Accessibility::SetKind(pctGameOver, Kind::Label);
    pctGameOver->setAccessibleName(tr("Game Over!"));
}

const SymbolSprites* frmMain::Symbols() const {
    if (!ShowSymbols) return nullptr;
    if (SymbolPictures[1].isNull())
        for (int i = 1; i <= MaxColors; ++i)
            SymbolPictures[i] = LoadPicture(QStringLiteral("pctSymbol_%1").arg(i));
    return &SymbolPictures;
}

void frmMain::ToggleSymbols() {
    ShowSymbols = !ShowSymbols;
    // A board that New has drawn is redrawn at once; before the first game there is none.
    if (game_.dealt()) DrawBoard();
}

bool frmMain::BoardTakesMoves() const {
    return game_.gameInProgress() && screens_.mainIsUp();
}

namespace {

// The ball of a cell on the board, in logical pixels.
QRect CellPlace(Cell cell) {
    return {BallPlacement(cell.column, cell.row, cell.layer), QSize(BallSize, BallSize)};
}

}  // namespace

void frmMain::CursorChanged(const QString& news) {
    Cursor.visible = true;
    pctBoard->update();
    if (!pctBoard->hasFocus()) pctBoard->setFocus(Qt::OtherFocusReason);
    const QString cell = DescribeCell(game_.board(), Cursor.at);
    pctBoard->setAccessibleName(tr("Board: %1").arg(cell));
    // One utterance a key: what happened, then where the cursor stands now.
    Accessibility::SpeakCell(pctBoard, news.isEmpty() ? cell : news + QStringLiteral(". ") + cell,
                             CellPlace(Cursor.at));
}

void frmMain::Tell(const QString& news, bool withCell) {
    if (withCell && Cursor.visible && game_.gameInProgress() && screens_.mainIsUp()) {
        CursorChanged(news);
        return;
    }
    Accessibility::SpeakMessage(pctBoard, news);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // Qt tells of the board's own focus after this; the cell comes once that is done.
    if (watched == pctBoard && event->type() == QEvent::FocusIn && Cursor.visible)
        QTimer::singleShot(0, this, [this] {
            if (pctBoard->hasFocus() && Cursor.visible)
                Accessibility::SpeakCell(pctBoard, DescribeCell(game_.board(), Cursor.at),
                                         CellPlace(Cursor.at));
        });
    return QWidget::eventFilter(watched, event);
}

void frmMain::MouseUsed() {
    HideCursor();
    // A click ends keyboard use: the button Tab reached gives up its focus and its frame.
    if (const auto* button = qobject_cast<const PictureBox*>(focusWidget());
        button != nullptr && button->keyboardFocused())
        setFocus(Qt::OtherFocusReason);
}

void frmMain::MoveCursor(int columns, int rows) {
    if (!BoardTakesMoves()) return;
    if (Cursor.visible) Cursor.move(columns, rows);
    CursorChanged();
}

void frmMain::StepCursorLayer() {
    if (!BoardTakesMoves()) return;
    if (Cursor.visible) Cursor.nextLayer();
    CursorChanged();
}

void frmMain::ActAtCursor() {
    if (!BoardTakesMoves()) return;
    if (!Cursor.visible) {
        // The first key only shows where the cursor stands: no move is made blind.
        CursorChanged();
        return;
    }
    Cell cell = Cursor.at;
    const int32_t before = game_.score();
    RemoveGroup(cell.row, cell.column, cell.layer);
    // A move says what it removed; a lone ball or an empty cell says the cell again.
    if (game_.score() == before && game_.gameInProgress()) CursorChanged();
}

void frmMain::HideCursor() {
    if (!Cursor.visible) return;
    Cursor.visible = false;
    pctBoard->update();
    pctBoard->setAccessibleName(tr("Board"));
}

void frmMain::PaintCursor(QPainter& painter) const {
    if (!Cursor.visible || !game_.gameInProgress()) return;
    const QPoint at = BallPlacement(Cursor.at.column, Cursor.at.row, Cursor.at.layer);
    // A white ring between two black ones, just outside the ball: seen on every colour.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const QColor rings[] = {Qt::black, Qt::white, Qt::white, Qt::black};
    for (int i = 0; i < 4; ++i) {
        painter.setPen(rings[i]);
        const int grow = 3 - i;
        painter.drawEllipse(
            QRect(at - QPoint(grow, grow), QSize(BallSize + 2 * grow, BallSize + 2 * grow)));
    }
}

void frmMain::mousePressEvent(QMouseEvent* event) {
    MouseUsed();
    QWidget::mousePressEvent(event);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool closes = enter || key == Qt::Key_Space || key == Qt::Key_Escape;

    // The help and about pages close as a click on them does.
    if (plain && closes && screens_.current() == Screen::Help) {
        pctHelpText_Click();
        return;
    }
    if (plain && closes && screens_.current() == Screen::About) {
        pctAboutText_Click();
        return;
    }
    if (!plain || !screens_.mainIsUp()) {  // only on the main screen
        QWidget::keyPressEvent(event);
        return;
    }
    switch (key) {
        case Qt::Key_Left:
            MoveCursor(-1, 0);
            break;
        case Qt::Key_Right:
            MoveCursor(1, 0);
            break;
        case Qt::Key_Up:
            MoveCursor(0, -1);
            break;
        case Qt::Key_Down:
            MoveCursor(0, 1);
            break;
        case Qt::Key_L:
            StepCursorLayer();
            break;
        case Qt::Key_S:
            ToggleSymbols();
            break;
        case Qt::Key_G:
            ToggleGuide();
            break;
        case Qt::Key_R:
            ToggleAlwaysResume();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            ActAtCursor();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

}  // namespace orbelix
