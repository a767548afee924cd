#include "app/PictureBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <cstring>

namespace orbelix {

int TwipsToPixels(double twips) { return static_cast<int>(std::floor(twips / TwipsPerPixel)); }

QPoint CentredOn(QSize outer, QSize picture) {
    const float left = (static_cast<float>(PixelsToTwips(outer.width())) -
                        static_cast<float>(PixelsToTwips(picture.width()))) / 2.0f;
    const float top = (static_cast<float>(PixelsToTwips(outer.height())) -
                       static_cast<float>(PixelsToTwips(picture.height()))) / 2.0f;
    return {TwipsToPixels(left), TwipsToPixels(top)};
}

PictureBox::PictureBox(QWidget* parent, const QString& name, QRect place, bool visible,
                       bool autoSize)
    : QWidget(parent), autoSize_(autoSize) {
    setObjectName(name);
    setGeometry(place);
    setVisible(visible);
    // The game hides and shows controls itself; nothing should happen on focus.
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    if (autoSize_) fitToPicture();
    update();
}

bool PictureBox::samePicture(const QPixmap& other) const {
    return !picture_.isNull() && picture_.cacheKey() == other.cacheKey();
}

void PictureBox::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) fitToPicture();
}

void PictureBox::setBorder(bool on) {
    border_ = on;
    if (autoSize_) fitToPicture();
    update();
}

void PictureBox::fitToPicture() {
    if (picture_.isNull()) return;
    const int frame = border_ ? 2 : 0;
    // Pictures are made at 1x; their logical size is their pixel size.
    resize(picture_.width() + frame, picture_.height() + frame);
}

void PictureBox::makeSurface(QColor background) {
    background_ = background;
    if (back_.size() != size()) back_ = QImage(size(), QImage::Format_RGB32);
    back_.fill(background_);
}

void PictureBox::Cls() {
    if (!back_.isNull()) back_.fill(background_);
}

void PictureBox::copyPicture(QPoint at, const QPixmap& picture) {
    if (back_.isNull() || picture.isNull()) return;
    const QImage source = picture.toImage().convertToFormat(QImage::Format_RGB32);
    const QRect target = QRect(at, source.size()).intersected(back_.rect());
    if (target.isEmpty()) return;
    // A plain row-by-row copy: no painter to set up for each of the table's cells.
    const auto bytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y())) + (target.left() - at.x());
        auto* to = reinterpret_cast<QRgb*>(back_.scanLine(y)) + target.left();
        std::memcpy(to, from, bytes);
    }
    update(target);
}

void PictureBox::Refresh() {
    if (isVisible()) {
        repaint();
    } else if (parentWidget() != nullptr) {
        parentWidget()->repaint(geometry());
    }
}

void PictureBox::resizeEvent(QResizeEvent*) {
    if (back_.isNull() || back_.size() == size()) return;
    // A surface keeps what was drawn on it when it grows or shrinks.
    QImage grown(size(), QImage::Format_RGB32);
    grown.fill(background_);
    QPainter painter(&grown);
    painter.drawImage(0, 0, back_);
    painter.end();
    back_ = grown;
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!back_.isNull()) {
        painter.drawImage(0, 0, back_);
        if (overlay_) overlay_(painter);
        return;
    }
    const int inset = border_ ? 1 : 0;
    if (border_) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }
    if (!picture_.isNull()) painter.drawPixmap(inset, inset, picture_);
    if (keyboardFocus_) {
        // The lettering's violet, on the black margin every picture keeps.
        painter.setPen(QColor(170, 110, 255));
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }
    if (overlay_) overlay_(painter);
}

void PictureBox::setOverlay(std::function<void(QPainter&)> painter) {
    overlay_ = std::move(painter);
    update();
}

void PictureBox::setPressable(bool on) {
    pressable_ = on;
    setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (pressable_ && keyboardFocus_ && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        click();
        return;
    }
    event->ignore();  // the window has its own keys
}

void PictureBox::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    update();
}

void PictureBox::focusOutEvent(QFocusEvent*) {
    keyboardFocus_ = false;
    update();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    emit MouseDown(event->button(), event->modifiers(), event->position());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a left press and release over the same control.
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit Click();
}

void MousePointer::set(int code) {
    if (code == code_) return;
    if (code == Hourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    code_ = code;
}

MousePointer::~MousePointer() { set(Default); }

}  // namespace orbelix
