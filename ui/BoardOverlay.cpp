#include "ui/BoardOverlay.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QTimer>

#include "ui/Accessibility.h"
#include "ui/Pictures.h"

namespace orbelix {
namespace {

// The ball of a cell on the board, in logical pixels.
QRect CellPlace(Cell cell) {
    return {BallPlacement(cell.column, cell.row, cell.layer), QSize(BallSize, BallSize)};
}

QString Tr(const char* text) {
    return QCoreApplication::translate("frmMain", text);
}

}  // namespace

BoardOverlay::BoardOverlay(PictureBox* surface, const Game& game,
                           std::function<BallSprites()> sprites, std::function<bool()> takesMoves,
                           std::function<bool()> readable)
    : surface_(surface),
      game_(game),
      readable_(std::move(readable)),
      guide_(surface, game, cursor_, std::move(sprites), std::move(takesMoves)) {
    surface_->setOverlay([this](QPainter& painter) { paint(painter); });
    // Reached by Tab, the board says the cell under the cursor.
    surface_->installEventFilter(this);
}

const SymbolSprites* BoardOverlay::symbols() const {
    if (!symbols_) return nullptr;
    if (symbolPictures_[1].isNull())
        for (int i = 1; i <= MaxColors; ++i)
            symbolPictures_[i] = LoadPicture(QStringLiteral("pctSymbol_%1").arg(i));
    return &symbolPictures_;
}

void BoardOverlay::showCursor(const QString& news) {
    cursor_.visible = true;
    surface_->update();
    if (!surface_->hasFocus()) surface_->setFocus(Qt::OtherFocusReason);
    const QString cell = DescribeCell(game_.board(), cursor_.at);
    surface_->setAccessibleName(Tr("Board: %1").arg(cell));
    // One utterance a key: what happened, then where the cursor stands now.
    Accessibility::SpeakCell(surface_,
                             news.isEmpty() ? cell : news + QStringLiteral(". ") + cell,
                             CellPlace(cursor_.at));
}

void BoardOverlay::moveCursor(int columns, int rows) {
    if (!readable_()) return;
    if (cursor_.visible) cursor_.move(columns, rows);
    showCursor();
}

void BoardOverlay::stepLayer() {
    if (!readable_()) return;
    if (cursor_.visible) cursor_.nextLayer();
    showCursor();
}

void BoardOverlay::hideCursor() {
    if (!cursor_.visible) return;
    cursor_.visible = false;
    surface_->update();
    surface_->setAccessibleName(Tr("Board"));
}

void BoardOverlay::tell(const QString& news, bool withCell) {
    if (withCell && cursor_.visible && readable_()) {
        showCursor(news);
        return;
    }
    Accessibility::SpeakMessage(surface_, news);
}

bool BoardOverlay::eventFilter(QObject* watched, QEvent* event) {
    // Qt tells of the board's own focus after this; the cell comes once that is done,
    // unless the key that brought the focus back has said something newer (Undo, New).
    if (watched == surface_ && event->type() == QEvent::FocusIn && cursor_.visible)
        QTimer::singleShot(0, this, [this, said = Accessibility::Said(surface_)] {
            if (surface_->hasFocus() && cursor_.visible && Accessibility::Said(surface_) == said)
                Accessibility::SpeakCell(surface_, DescribeCell(game_.board(), cursor_.at),
                                         CellPlace(cursor_.at));
        });
    return QObject::eventFilter(watched, event);
}

void BoardOverlay::paint(QPainter& painter) const {
    guide_.paint(painter);
    paintCursor(painter);
}

void BoardOverlay::paintCursor(QPainter& painter) const {
    if (!cursor_.visible || !game_.dealt()) return;
    const QPoint at = BallPlacement(cursor_.at.column, cursor_.at.row, cursor_.at.layer);
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

}  // namespace orbelix
