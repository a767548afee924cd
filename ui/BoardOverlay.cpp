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
    const QString cell = DescribeCell(game_.board(), cursor_.at);
    // One utterance a key: what happened, then where the cursor stands now.
    sayAtCursor(news.isEmpty() ? cell : news + QStringLiteral(". ") + cell);
}

void BoardOverlay::sayAtCursor(const QString& words) {
    cursor_.visible = true;
    surface_->update();
    if (!surface_->hasFocus()) surface_->setFocus(Qt::OtherFocusReason);
    surface_->setAccessibleName(Tr("Board: %1").arg(DescribeCell(game_.board(), cursor_.at)));
    Accessibility::SpeakCell(surface_, words, CellPlace(cursor_.at));
    emit told(words);
}

void BoardOverlay::showHint(Cell cell) {
    cursor_.at = cell;
    guide_.setHint(cell);
    sayAtCursor(Tr("Hint: %1").arg(DescribeCell(game_.board(), cell)));
}

void BoardOverlay::moveCursor(int columns, int rows) {
    if (!readable_()) return;
    // The cursor moved away from the hint takes its marks with it.
    guide_.clearHint();
    if (cursor_.visible) cursor_.move(columns, rows);
    showCursor();
}

void BoardOverlay::stepLayer() {
    if (!readable_()) return;
    guide_.clearHint();
    if (cursor_.visible) cursor_.nextLayer();
    showCursor();
}

void BoardOverlay::setVerdict(const QString& words) {
    if (words == verdict_) return;
    verdict_ = words;
    surface_->update();
    if (!words.isEmpty()) tell(words, false);
}

QRect BoardOverlay::verdictArea() const {
    // Centred below the lowest row of balls, on the grey of the surface.
    const QSize size = BoardGuide::LabelSize(verdict_);
    const int left = BallPlacement(1, 1, 1).x();
    const int right = BallPlacement(Columns, 1, Layers).x() + BallSize;
    const int top = BallPlacement(1, Rows, 1).y() + BallSize + 4;
    return {QPoint((left + right - size.width()) / 2, top), size};
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
    emit told(news);
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
    // The verdict stands over a finished board, for players who have the guide on.
    if (guide_.on() && !verdict_.isEmpty() && game_.dealt() && !game_.gameInProgress())
        BoardGuide::PaintLabel(painter, verdictArea(), verdict_);
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
