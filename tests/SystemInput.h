#pragma once

// Input and closing that reach a window the way the window system delivers them:
// queued, and handed out by the event loop, which holds clicks and keys back while the
// game pauses. And a pause clock that a test steps by hand.
#include <qpa/qwindowsysteminterface.h>

#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "platform/Pause.h"

namespace orbelix::testing {

using Queued = QWindowSystemInterface::AsynchronousDelivery;

// A left click at `at` on `widget`, queued at the window system.
inline void QueueClick(QWidget* widget, QPoint at) {
    QWidget* top = widget->window();
    const QPointF local = widget->mapTo(top, at);
    const QPointF global = widget->mapToGlobal(at);
    // Each click is stamped well after the one before, as a player's separate clicks are;
    // two presses at one place within the double-click time make a double click, whose
    // second press does nothing.
    static ulong stamp = 0;
    stamp += 10000;
    QWindowSystemInterface::handleMouseEvent<Queued>(top->windowHandle(), stamp, local, global,
                                                     Qt::LeftButton, Qt::LeftButton,
                                                     QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Queued>(top->windowHandle(), stamp + 50, local, global,
                                                     Qt::NoButton, Qt::LeftButton,
                                                     QEvent::MouseButtonRelease);
}

inline void QueueClick(QWidget* widget) {
    QueueClick(widget, QPoint(widget->width() / 2, widget->height() / 2));
}

// A key pressed and released on `window`, queued at the window system.
inline void QueueKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers,
                     const QString& text) {
    QWindow* handle = window->window()->windowHandle();
    QWindowSystemInterface::handleKeyEvent<Queued>(handle, QEvent::KeyPress, key, modifiers, text);
    QWindowSystemInterface::handleKeyEvent<Queued>(handle, QEvent::KeyRelease, key, modifiers,
                                                   text);
}

// The window's close box, queued at the window system.
inline void QueueCloseBox(QWidget* window) {
    QWindowSystemInterface::handleCloseEvent<Queued>(window->window()->windowHandle());
}

// Hands out everything queued, input included.
inline void DeliverQueued() {
    QWindowSystemInterface::flushWindowSystemEvents();
    QCoreApplication::processEvents();
}

// A move of the pointer to a device pixel of a widget, or a click there, as the window
// system hands them out.
inline void SystemMouse(QWidget* widget, QPoint device, bool click = false) {
    static ulong stamp = 0;
    const QPointF local(QPointF(device) / widget->devicePixelRatioF());
    using enum QEvent::Type;
    for (QEvent::Type type :
         click ? std::vector{MouseButtonPress, MouseButtonRelease} : std::vector{MouseMove})
        QWindowSystemInterface::handleMouseEvent<Queued>(
            widget->window()->windowHandle(), stamp += 10000,
            widget->mapTo(widget->window(), local), widget->mapToGlobal(local),
            type == MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton, type);
    DeliverQueued();
}

// What the window system holds of a widget: its window's backing store keeps whatever
// was painted last, where a grab of the widget paints it afresh.
inline QImage OnShow(QWidget* widget) {
    QWidget* top = widget->window();
    QCoreApplication::processEvents();
    const QImage whole = top->screen()->grabWindow(top->winId()).toImage();
    const double ratio = whole.devicePixelRatio();
    return whole.convertToFormat(QImage::Format_RGB32)
        .copy(QRect(widget->mapTo(top, QPoint()) * ratio, widget->size() * ratio));
}

// A pause clock that a test steps: each time the pause would sleep, a quarter of a
// second passes at once and `tick` runs with the time gone since the clock was made.
// It takes the place of the steady clock while it exists.
class SteppedClock : public Pause::Clock {
  public:
    using Tick = std::function<void(std::chrono::milliseconds)>;
    static constexpr std::chrono::milliseconds Step{250};

    explicit SteppedClock(Tick tick = {}) : tick_(std::move(tick)) { Pause::SetClock(this); }
    ~SteppedClock() override { Pause::SetClock(nullptr); }
    SteppedClock(const SteppedClock&) = delete;
    SteppedClock& operator=(const SteppedClock&) = delete;

    Steady::time_point now() override { return Steady::time_point{} + elapsed_; }
    std::chrono::milliseconds sleepFor(Steady::duration left) override {
        ++sleeps_;
        elapsed_ += std::min(std::chrono::ceil<std::chrono::milliseconds>(left), Step);
        if (tick_) tick_(elapsed_);
        return std::chrono::milliseconds::zero();
    }

    std::chrono::milliseconds elapsed() const { return elapsed_; }
    int sleeps() const { return sleeps_; }

  private:
    Tick tick_;
    std::chrono::milliseconds elapsed_{0};
    int sleeps_ = 0;
};

}  // namespace orbelix::testing
