#include "ui/PictureBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ui/Pictures.h"
#include "ui/KeyMap.h"
#include "ui/Zoom.h"

namespace orbelix {

int TwipsToPixels(double twips) {
    return static_cast<int>(std::floor(twips / TwipsPerPixel));
}

QPoint CentredOn(QSize outer, QSize picture) {
    const float left = (static_cast<float>(PixelsToTwips(outer.width())) -
                        static_cast<float>(PixelsToTwips(picture.width()))) /
                       2.0f;
    const float top = (static_cast<float>(PixelsToTwips(outer.height())) -
                       static_cast<float>(PixelsToTwips(picture.height()))) /
                      2.0f;
    return {TwipsToPixels(left), TwipsToPixels(top)};
}

QPoint CentredOnScreen(const QRect& area, const QSize& outer) {
    return {std::max(area.x(), area.x() + (area.width() - outer.width()) / 2),
            std::max(area.y(), area.y() + (area.height() - outer.height()) / 2)};
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

void PictureBox::setGeometry(const QRect& place) {
    const QSize before = place_.size();
    place_ = place;
    QWidget::setGeometry(Zoom::ToWindow(place_));
    if (back_.isNull() || before == place_.size()) return;  // nothing drawn to keep
    // A surface keeps what was drawn on it when it grows or shrinks.
    QImage grown(place_.size() * scale_, QImage::Format_RGB32);
    grown.setDevicePixelRatio(scale_);
    grown.fill(background_);
    QPainter painter(&grown);
    painter.drawImage(0, 0, back_);
    painter.end();
    back_ = grown;
}

void PictureBox::applyZoom() {
    QWidget::setGeometry(Zoom::ToWindow(place_));
    matchScale();
    update();
}

void PictureBox::setPicture(const QPixmap& picture) {
    pendingPicture_.clear();
    picture_ = picture;
    if (autoSize_) fitToPicture();
    update();
}

void PictureBox::setStorePicture(const QString& name) {
    picture_ = QPixmap();
    pendingPicture_ = name;
    pendingSize_ = StorePictureSize(name);
    if (autoSize_) fitToPicture();
    update();
}

const QPixmap& PictureBox::picture() const {
    if (!pendingPicture_.isEmpty()) {
        picture_ = LoadPicture(pendingPicture_);
        pendingPicture_.clear();
    }
    return picture_;
}

bool PictureBox::samePicture(const QPixmap& other) const {
    const QPixmap& mine = picture();
    return !mine.isNull() && mine.cacheKey() == other.cacheKey();
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
    const QSize size = pendingPicture_.isEmpty() ? picture_.size() : pendingSize_;
    if (size.isEmpty()) return;
    const int frame = border_ ? 2 : 0;
    // Store pictures are 1x; their logical size is their pixel size.
    resize(size.width() + frame, size.height() + frame);
}

void PictureBox::makeSurface(QColor background) {
    surface_ = true;
    // The surface paints every pixel of its area, so nothing beneath it is painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    background_ = background;
    steps_.clear();
    scale_ = Zoom::EffectiveScale(this);
    back_ = QImage();
}

void PictureBox::makeBack() const {
    if (!surface_ || !back_.isNull()) return;
    back_ = QImage(place_.size() * scale_, QImage::Format_RGB32);
    back_.setDevicePixelRatio(scale_);
    back_.fill(background_);
}

const QImage& PictureBox::backImage() const {
    makeBack();
    return back_;
}

void PictureBox::Cls() {
    if (!surface_) return;
    steps_.clear();
    if (back_.isNull()) return;
    matchScale();
    back_.fill(background_);
}

QRect PictureBox::Step::covered() const {
    const QSize logical = sprite ? QSize(picture.height(), picture.height()) : picture.size();
    return QRect(at, logical).intersected(clip);
}

void PictureBox::record(Step step) {
    // A step hides every earlier step whose pixels it all covers: a copied picture hides
    // what lay wholly inside it, and a sprite hides an earlier sprite of the same size at
    // the same place (all sprites share one disc). Dropping those keeps the list as
    // short as what is on show, however long the surface is drawn on.
    const QRect covered = step.covered();
    std::erase_if(steps_, [&](const Step& earlier) {
        if (step.sprite)
            return earlier.sprite && earlier.at == step.at &&
                   earlier.picture.size() == step.picture.size() && earlier.clip.contains(covered);
        return covered.contains(earlier.covered());
    });
    steps_.push_back(std::move(step));
}

void PictureBox::paintSprite(QPainter& painter, const Step& step) const {
    // Logical places on an image whose device pixel ratio is the scale: the painter maps
    // them to device pixels, and the sprite's own ratio makes each blit 1:1.
    const QPixmap shown = PictureAtScale(step.picture, scale_);
    if (step.clip == rect()) {
        painter.setClipping(false);
    } else {
        painter.setClipRect(step.clip);
    }
    const int side = step.picture.height() * scale_;
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawPixmap(QPointF(step.at), shown, QRectF(side, 0, side, side));
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawPixmap(QPointF(step.at), shown, QRectF(0, 0, side, side));
}

void PictureBox::drawStep(const Step& step) {
    if (step.sprite) {
        QPainter painter(&back_);
        paintSprite(painter, step);
        return;
    }
    const QPixmap shown = PictureAtScale(step.picture, scale_);
    const QImage source = shown.toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = step.at * scale_;
    const QRect clip(step.clip.topLeft() * scale_, step.clip.size() * scale_);
    const QRect target = QRect(at, source.size()).intersected(clip).intersected(back_.rect());
    if (target.isEmpty()) return;
    // A plain row-by-row copy: no painter to set up for each of the table's cells.
    const auto bytes = static_cast<size_t>(target.width()) * sizeof(QRgb);
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y())) +
                           (target.left() - at.x());
        auto* to = reinterpret_cast<QRgb*>(back_.scanLine(y)) + target.left();
        std::memcpy(to, from, bytes);
    }
}

void PictureBox::copyPicture(QPoint at, const QPixmap& picture) {
    if (!surface_ || picture.isNull()) return;
    matchScale();
    makeBack();
    Step step{false, at, picture, rect()};
    if (step.covered().isEmpty()) return;
    drawStep(step);
    update(Zoom::ToWindow(step.covered()));
    record(std::move(step));
}

void PictureBox::drawSprites(const SpriteList& sprites) {
    if (!surface_) return;
    matchScale();
    makeBack();
    // One painter for the whole batch: the board's 300 sprites are drawn at every move.
    QPainter painter(&back_);
    for (const auto& [at, sprite] : sprites) {
        if (sprite.isNull()) continue;
        Step step{true, at, sprite, rect()};
        paintSprite(painter, step);
        record(std::move(step));
    }
}

void PictureBox::matchScale() {
    if (!surface_) return;
    const int scale = Zoom::EffectiveScale(this);
    if (scale == scale_) return;
    if (back_.isNull())
        scale_ = scale;  // nothing drawn yet: the back image is made at this scale when needed
    else
        rebuild(scale);
}

void PictureBox::rebuild(int scale) {
    scale_ = scale;
    back_ = QImage(place_.size() * scale_, QImage::Format_RGB32);
    back_.setDevicePixelRatio(scale_);
    back_.fill(background_);
    for (const Step& step : steps_) drawStep(step);
}

void PictureBox::Refresh() {
    if (isVisible()) {
        repaint();
    } else if (parentWidget() != nullptr) {
        parentWidget()->repaint(QWidget::geometry());
    }
}

namespace {

// A frame `width` device pixels wide along the inside of `area`.
void PaintFrame(QPainter& painter, QRect area, int width, QColor colour) {
    painter.fillRect(area.left(), area.top(), area.width(), width, colour);
    painter.fillRect(area.left(), area.bottom() + 1 - width, area.width(), width, colour);
    painter.fillRect(area.left(), area.top(), width, area.height(), colour);
    painter.fillRect(area.right() + 1 - width, area.top(), width, area.height(), colour);
}

}  // namespace

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRectF area(QWidget::rect());
    if (surface_) {
        matchScale();
        // The back image has as many pixels as the control has device pixels: 1:1.
        const double ratio = back_.isNull() ? 0.0 : back_.width() / area.width();
        if (back_.isNull()) {
            painter.fillRect(area, background_);
        } else if (ratio == devicePixelRatioF() && event->region().rectCount() > 1) {
            // An area of many parts (the guide's marked balls) is copied part by part, each
            // on this thread: under a clip of many parts, Qt would share out the copy of the
            // whole image among its pool's threads and wait for the slowest.
            for (const QRect& part : event->region())
                painter.drawImage(QRectF(part), back_,
                                  QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
        } else {
            painter.drawImage(area, back_, QRectF(back_.rect()));
        }
        paintOverlay(painter);
        return;
    }
    const int zoom = Zoom::Factor();
    const int inset = border_ ? zoom : 0;
    if (border_) {
        // A one-logical-pixel grey frame.
        PaintFrame(painter, QWidget::rect(), zoom, QColor(128, 128, 128));
    }
    if (const QPixmap& own = picture(); !own.isNull()) {
        const QPixmap shown = PictureAtScale(own, Zoom::EffectiveScale(this));
        painter.drawPixmap(QRectF(inset, inset, own.width() * zoom, own.height() * zoom), shown,
                           QRectF(shown.rect()));
    }
    if (keyboardFocus_) {
        // The lettering's violet, one logical pixel wide, on the black margin every
        // picture keeps.
        PaintFrame(painter, QWidget::rect(), zoom, QColor(170, 110, 255));
    }
    paintOverlay(painter);
}

void PictureBox::paintOverlay(QPainter& painter) const {
    if (!overlay_) return;
    // The overlay speaks logical pixels, as the game's drawing does.
    painter.save();
    painter.scale(Zoom::Factor(), Zoom::Factor());
    overlay_(painter);
    painter.restore();
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
    if (pressable_ && keyboardFocus_ &&
        KeyMap::Lookup(KeyPlace::Button, *event) == KeyAction::PressButton) {
        event->accept();
        click();
        return;
    }
    event->ignore();  // the window has its own keys
}

void PictureBox::focusInEvent(QFocusEvent* event) {
    keyboardFocus_ =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    update();
}

void PictureBox::focusOutEvent(QFocusEvent*) {
    keyboardFocus_ = false;
    update();
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    emit MouseDown(event->button(), event->modifiers(), Zoom::ToLogical(event->position(), this));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    // A click is a left press and release over the same control.
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       QWidget::rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click does nothing: a double click acts once, like one
    // click. (Qt's default would take it for another press.) Nor does it pass to the window.
    event->accept();
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

MousePointer::~MousePointer() {
    set(Default);
}

}  // namespace orbelix
