#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

// Program-wide state that both windows read and write: the high-score table and the
// row that awaits a name, plus the pause of the end of a game.
namespace orbelix::mdlMain {

constexpr int TableRows = 10;
constexpr int MaxNameLength = 7;

// Rows 1..10, best first; slot 0 is never used.
extern QString HighScoreNames[TableRows + 1];
extern int32_t HighScores[TableRows + 1];
// The row that was just given to a new result and still awaits its name; 0 for none.
extern int16_t NewEntryRow;

// Places a finished game's score: the first row whose score it reaches takes it (so a
// tie ranks the newer result first), the rows below move down one and the old row 10
// drops out. The new row's name is empty. NewEntryRow becomes that row, or 0.
void PlaceScore(int32_t score);

// Empties the table: ten empty names with score 0.
void ClearTable();
// How many times the table was emptied, so a save can tell a reset from other changes.
extern int TableResets;

// Pauses for the given number of seconds without taking input: paint events and the
// like are handled meanwhile, clicks and keys wait in order until the pause is over.
void Wait(int32_t seconds);

// True while Wait is pausing.
extern bool Pausing;

// How long one second of Wait lasts, in milliseconds; tests shorten it.
extern int MillisecondsPerSecond;

// The clock that Wait runs by: the time now, and how long the pause's event loop may
// sleep before it reads the clock again when `left` remains. The steady clock sleeps
// until the deadline; a test puts a clock of its own here to step time by hand.
class PauseClock {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~PauseClock() = default;
    virtual Clock::time_point now() { return Clock::now(); }
    virtual std::chrono::milliseconds sleepFor(Clock::duration left) {
        return std::chrono::ceil<std::chrono::milliseconds>(left);
    }
};

// The clock Wait uses; never null. Setting it to nullptr puts the steady clock back.
PauseClock& CurrentPauseClock();
void SetPauseClock(PauseClock* clock);

}  // namespace orbelix::mdlMain
