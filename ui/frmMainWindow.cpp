// The main window on its screen: its frame, its place, the zoom, and the keys that
// reach it without Qt's shortcuts.
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "ui/Zoom.h"
#include "ui/frmHighScore.h"
#include "ui/frmMain.h"

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

void frmMain::SetAssumedFrame(std::optional<QMargins> frame) {
    assumedFrame = frame;
}

QMargins frmMain::FrameMargins() const {
    // X11 and Wayland frame windows; other platforms never give a frame, so the expected
    // one stays. A window shown without a frame (no window manager) has none.
    const QWindow* window = windowHandle();
    if (!frameGiven_ && !assumedFrame && window != nullptr &&
        (OnWayland() || QGuiApplication::platformName() == QLatin1String("xcb")))
        frameGiven_ = window->isExposed() || !window->frameMargins().isNull();
    return frameGiven_ && window != nullptr ? window->frameMargins() : ExpectedFrame();
}

QSize frmMain::OuterSize() const {
    return QSize(ClientWidth, ClientHeight).grownBy(FrameMargins());
}

void frmMain::CentreOnScreen() {
    if (OnWayland()) return;
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // A window's place is the top-left corner of its frame.
    move(CentredOnScreen(area, size().grownBy(FrameMargins())));
    centredOnScreen_ = !frameGiven_;
}

bool frmMain::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            if (AnswerShortcut(*static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::WindowStateChange:
            // A fixed-size window is not maximised, even where the window decoration
            // (Qt's own under Wayland) offers the button anyway.
            if (windowState() & Qt::WindowMaximized)
                QMetaObject::invokeMethod(
                    this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); },
                    Qt::QueuedConnection);
            break;
        case QEvent::Paint:
            // What the first frame does not need waits until it is painted: the removal
            // sound is read ahead of the first move once the window is up.
            if (!painted_) {
                painted_ = true;
                QMetaObject::invokeMethod(this, &frmMain::PrepareBleep, Qt::QueuedConnection);
            }
            [[fallthrough]];
        case QEvent::Show:
        case QEvent::Move:
            // The frame arrives with a move or the first exposure; follow it once the
            // event is handled, not in the middle of a paint.
            if (FrameMargins() != placedWith_)
                QMetaObject::invokeMethod(this, &frmMain::FollowFrame, Qt::QueuedConnection);
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

bool frmMain::AnswerShortcut(const QKeyEvent& event) {
    // Qt's shortcuts go through the platform's key map and need the window to be active;
    // a key press that reaches the window without them (a Wayland seat without a key map,
    // keys sent by tools) gets here unused and is answered the same way.
    const QKeySequence pressed(event.keyCombination());
    for (const KeyAction& key : keyActions_) {
        if (pressed.matches(key.keys) == QKeySequence::ExactMatch) {
            key.action();
            return true;
        }
    }
    return false;
}

void frmMain::FollowFrame() {
    const QMargins frame = FrameMargins();
    if (frame == placedWith_) return;
    placedWith_ = frame;
    if (centredOnScreen_ && frameGiven_) {
        CentreOnScreen();
        centredOnScreen_ = false;
    }
    pctOrbelix->move(CentredOn(OuterSize(), pctOrbelix->size()));
    if (screens_.current() == Screen::Help) PlaceHelpScreen();
    if (screens_.current() == Screen::About) PlaceAboutScreen();
}

bool frmMain::ZoomFits(int zoom) const {
    if (zoom < Zoom::Min || zoom > Zoom::Max) return false;
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return zoom == Zoom::Min;
    const QSize outer = (QSize(ClientWidth, ClientHeight) * zoom).grownBy(FrameMargins());
    const QSize area = screen->availableGeometry().size();
    return outer.width() <= area.width() && outer.height() <= area.height();
}

bool frmMain::SetZoom(int zoom, bool remember) {
    // Zoom 1 is always allowed: it is the game's own size.
    if (zoom != Zoom::Min && !ZoomFits(zoom)) return false;
    zoom = std::clamp(zoom, Zoom::Min, Zoom::Max);
    if (remember) StoredZoom = static_cast<int16_t>(zoom);
    if (zoom == Zoom::Factor()) return true;
    Zoom::SetFactor(zoom);
    setFixedSize(Zoom::ToWindow(QSize(ClientWidth, ClientHeight)));
    // Every picture control of both windows (the high-score window is a child of this).
    for (PictureBox* box : findChildren<PictureBox*>()) box->applyZoom();
    CentreOnScreen();
    if (auto* table = findChild<frmHighScore*>()) table->FollowZoom();
    return true;
}

void frmMain::ZoomBy(int step) {
    if (step == 0) {
        SetZoom(Zoom::Min, true);
    } else if (step > 0) {
        SetZoom(Zoom::Factor() + 1, true);
    } else if (Zoom::Factor() > Zoom::Min) {
        SetZoom(Zoom::Factor() - 1, true);
    }
}

}  // namespace orbelix
