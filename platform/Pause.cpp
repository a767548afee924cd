#include "platform/Pause.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

namespace orbelix::Pause {
namespace {

// The pause's own state: only Wait and its settings touch it.
struct State {
    Clock steady;
    Clock* clock = &steady;
    int millisecondsPerSecond = 1000;
    bool pausing = false;
    bool interrupted = false;
    QEventLoop* loop = nullptr;
};

State& Current() {
    static State state;
    return state;
}

}  // namespace

HeldInput::HeldInput() {
    QCoreApplication::instance()->installEventFilter(this);
}

HeldInput::~HeldInput() {
    QCoreApplication::instance()->removeEventFilter(this);
    for (auto& [receiver, event] : held_)
        if (receiver) QCoreApplication::postEvent(receiver, event.release());
}

void HeldInput::TakeWaitingEvents() {
    // A round trip to the window system first: what it sent before (a close box clicked
    // in the last moment) is then on the program's side of the connection, not on its
    // way. It can take a pass to be read from there, one to become an event and one to
    // reach its window.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
        QGuiApplication::sync();
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
}

void HeldInput::Drop() {
    holding_ = false;
    held_.clear();
    QCoreApplication::instance()->removeEventFilter(this);
}

bool HeldInput::eventFilter(QObject* receiver, QEvent* event) {
    if (!holding_) return false;
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Taken here so that no shortcut acts now; the key press itself is held.
            event->accept();
            return true;
        case QEvent::Shortcut:
            return true;
        default:
            break;
    }
    if (!event->isInputEvent()) return false;  // paint, timers, a close box...
    held_.emplace_back(receiver, event->clone());
    return true;
}

bool Pausing() {
    return Current().pausing;
}

int MillisecondsPerSecond() {
    return Current().millisecondsPerSecond;
}

void SetMillisecondsPerSecond(int milliseconds) {
    Current().millisecondsPerSecond = milliseconds;
}

Clock& CurrentClock() {
    return *Current().clock;
}

void SetClock(Clock* clock) {
    Current().clock = clock != nullptr ? clock : &Current().steady;
}

std::unique_ptr<HeldInput> Wait(int32_t seconds) {
    // Input is held by an event filter rather than by leaving it in the window system's
    // queue: that queue would also keep a close box back until after the pause.
    auto held = std::make_unique<HeldInput>();
    State& state = Current();
    Clock& clock = *state.clock;
    const auto total =
        std::chrono::milliseconds(static_cast<int64_t>(seconds) * state.millisecondsPerSecond);
    const auto deadline = clock.now() + total;
    state.pausing = true;
    state.interrupted = false;
    // The event loop sleeps until its timer fires, so the pause costs no CPU; the
    // deadline guards against waking early.
    for (auto left = deadline - clock.now(); left > Clock::Steady::duration::zero();
         left = deadline - clock.now()) {
        QEventLoop loop;
        const auto ms = clock.sleepFor(left).count();
        QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        state.loop = &loop;
        if (!state.interrupted) loop.exec();
        state.loop = nullptr;
        if (state.interrupted) break;
    }
    state.pausing = false;
    return held;
}

void Interrupt() {
    State& state = Current();
    if (!state.pausing) return;
    state.interrupted = true;
    if (state.loop != nullptr) state.loop->quit();
}

}  // namespace orbelix::Pause
