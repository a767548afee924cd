#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "platform/WindowFrame.h"
#include "ui/PictureBox.h"
#include "ui/Zoom.h"
#include "ui/frmHighScore.h"

namespace orbelix {
namespace {

// The frame that tests put in place of the platform's expected one.
std::optional<QMargins> assumedFrame;

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The frame expected before the window system has given one: Qt's own decorations under
// Wayland, a typical title bar and thin borders under X11, none where nothing frames
// windows (offscreen).
QMargins ExpectedFrame() {
    if (assumedFrame) return *assumedFrame;
    if (OnWayland()) return {3, 30, 3, 3};
    if (QGuiApplication::platformName() == QLatin1String("xcb")) return {2, 24, 2, 2};
    return {};
}

}  // namespace

WindowPlacement::WindowPlacement(QWidget& window, QSize client, std::function<void()> framed)
    : window_(window), client_(client), framed_(std::move(framed)) {}

void WindowPlacement::SetAssumedFrame(std::optional<QMargins> frame) {
    assumedFrame = frame;
}

QMargins WindowPlacement::frameMargins() const {
    // X11 and Wayland frame windows; other platforms never give a frame, so the expected
    // one stays. A window shown without a frame (no window manager) has none.
    const QWindow* handle = window_.windowHandle();
    if (!frameGiven_ && !assumedFrame && handle != nullptr &&
        (OnWayland() || QGuiApplication::platformName() == QLatin1String("xcb")))
        frameGiven_ = handle->isExposed() || !handle->frameMargins().isNull();
    if (frameGiven_ && handle != nullptr) return handle->frameMargins();
    return learnt_ && !assumedFrame ? *learnt_ : ExpectedFrame();
}

void WindowPlacement::learnFrame() {
    if (asked_ || frameGiven_ || assumedFrame || window_.isVisible() ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    asked_ = true;
    window_.winId();
    if (QWindow* handle = window_.windowHandle()) learnt_ = FrameBeforeShowing(*handle);
    // The pictures were centred with the expected frame: they take the real one now,
    // before the first frame is painted.
    followFrame();
}

QSize WindowPlacement::outerSize() const {
    return client_.grownBy(frameMargins());
}

void WindowPlacement::centreOnScreen() {
    if (OnWayland()) return;
    learnFrame();
    const QScreen* screen =
        window_.screen() != nullptr ? window_.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // A window's place is the top-left corner of its frame.
    window_.move(CentredOnScreen(area, window_.size().grownBy(frameMargins())));
    centredOnScreen_ = !frameGiven_;
}

void WindowPlacement::follow(const QEvent& event) {
    switch (event.type()) {
        case QEvent::Show:
        case QEvent::Move:
            // The frame arrives with a move: followed at once, so that a paint already
            // waiting shows the pictures in their final places.
            followFrame();
            break;
        case QEvent::Paint:
            // Or with the first exposure: followed once the paint is done, not in its
            // middle.
            if (frameMargins() != placedWith_)
                QMetaObject::invokeMethod(
                    &window_, [this] { followFrame(); }, Qt::QueuedConnection);
            break;
        default:
            break;
    }
}

void WindowPlacement::followFrame() {
    const QMargins frame = frameMargins();
    if (frame == placedWith_) return;
    placedWith_ = frame;
    if (centredOnScreen_ && frameGiven_) {
        centreOnScreen();
        centredOnScreen_ = false;
    }
    framed_();
}

bool WindowPlacement::zoomFits(int zoom) const {
    if (zoom < Zoom::Min || zoom > Zoom::Max) return false;
    const QScreen* screen =
        window_.screen() != nullptr ? window_.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return zoom == Zoom::Min;
    const QSize outer = (client_ * zoom).grownBy(frameMargins());
    const QSize area = screen->availableGeometry().size();
    return outer.width() <= area.width() && outer.height() <= area.height();
}

bool WindowPlacement::setZoom(int zoom, bool remember) {
    // Zoom 1 is always allowed: it is the game's own size.
    if (zoom != Zoom::Min && !zoomFits(zoom)) return false;
    zoom = std::clamp(zoom, Zoom::Min, Zoom::Max);
    if (remember) storedZoom_ = static_cast<int16_t>(zoom);
    if (zoom == Zoom::Factor()) return true;
    Zoom::SetFactor(zoom);
    window_.setFixedSize(Zoom::ToWindow(client_));
    // Every picture control of both windows (the high-score window is a child of this).
    for (PictureBox* box : window_.findChildren<PictureBox*>()) box->applyZoom();
    centreOnScreen();
    if (auto* table = window_.findChild<frmHighScore*>()) table->FollowZoom();
    return true;
}

void WindowPlacement::applyStoredZoom() {
    for (int zoom = storedZoom_; zoom > Zoom::Min && !setZoom(zoom, false); --zoom) {
    }
}

void WindowPlacement::zoomBy(int step) {
    if (step == 0) {
        setZoom(Zoom::Min, true);
    } else if (step > 0) {
        setZoom(Zoom::Factor() + 1, true);
    } else if (Zoom::Factor() > Zoom::Min) {
        setZoom(Zoom::Factor() - 1, true);
    }
}

}  // namespace orbelix
