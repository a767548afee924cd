#pragma once

#include <chrono>
#include <cstdint>

// The pause at the end of a game: the program waits without taking input, while paint
// events and the window system's messages (a close box, say) are handled.
namespace orbelix::Pause {

// Pauses for the given number of seconds: clicks and keys wait in order until the pause
// is over (or are dropped by whoever asks for that).
void Wait(int32_t seconds);

// True while Wait is pausing.
bool Pausing();

// How long one second of Wait lasts, in milliseconds (1000); tests shorten it.
int MillisecondsPerSecond();
void SetMillisecondsPerSecond(int milliseconds);

// The clock Wait runs by: the time now, and how long the pause's event loop may sleep
// before it reads the clock again when `left` remains. The steady clock sleeps until the
// deadline; a test puts a clock of its own here to step time by hand.
class Clock {
  public:
    using Steady = std::chrono::steady_clock;
    virtual ~Clock() = default;
    virtual Steady::time_point now() { return Steady::now(); }
    virtual std::chrono::milliseconds sleepFor(Steady::duration left) {
        return std::chrono::ceil<std::chrono::milliseconds>(left);
    }
};

// The clock Wait uses; never null. Setting it to nullptr puts the steady clock back.
Clock& CurrentClock();
void SetClock(Clock* clock);

}  // namespace orbelix::Pause
