#pragma once

#include <QObject>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QEvent;

// The pause at the end of a game: the program waits without taking input, while paint
// events and the window system's messages (a close box, say) are handled.
namespace orbelix::Pause {

// Clicks, keys and other input held back from the moment it is made: copies of the
// events, kept in order with their receivers, while everything else goes through. When
// it goes, the input is handed out again in order (posted to the event loop), unless
// it was dropped.
class HeldInput : public QObject {
  public:
    HeldInput();
    ~HeldInput() override;
    HeldInput(const HeldInput&) = delete;
    HeldInput& operator=(const HeldInput&) = delete;

    // Handles what has arrived by now, input still held.
    void TakeWaitingEvents();
    // Forgets the input held so far and holds no more.
    void Drop();

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

  private:
    bool holding_ = true;
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

// Pauses for the given number of seconds, holding input back meanwhile. The input stays
// held until the returned object goes.
std::unique_ptr<HeldInput> Wait(int32_t seconds);

// Ends the pause under way at once (the program is being ended).
void Interrupt();

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
