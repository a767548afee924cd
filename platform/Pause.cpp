#include "platform/Pause.h"

#include <QEventLoop>
#include <QTimer>

namespace orbelix::Pause {
namespace {

// The pause's own state: only Wait and its settings touch it.
struct State {
    Clock steady;
    Clock* clock = &steady;
    int millisecondsPerSecond = 1000;
    bool pausing = false;
};

State& Current() {
    static State state;
    return state;
}

}  // namespace

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

void Wait(int32_t seconds) {
    State& state = Current();
    Clock& clock = *state.clock;
    const auto total =
        std::chrono::milliseconds(static_cast<int64_t>(seconds) * state.millisecondsPerSecond);
    const auto deadline = clock.now() + total;
    state.pausing = true;
    // An event loop that takes no user input sleeps until its timer fires, so the pause
    // costs no CPU; the deadline guards against waking early.
    for (auto left = deadline - clock.now(); left > Clock::Steady::duration::zero();
         left = deadline - clock.now()) {
        QEventLoop loop;
        const auto ms = clock.sleepFor(left).count();
        QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    state.pausing = false;
}

}  // namespace orbelix::Pause
