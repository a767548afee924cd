#include "scores/mdlMain.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>

namespace orbelix::mdlMain {

QString HighScoreNames[TableRows + 1];
int32_t HighScores[TableRows + 1] = {};
int16_t NewEntryRow = 0;
int MillisecondsPerSecond = 1000;
bool Pausing = false;
int TableResets = 0;

void PlaceScore(int32_t score) {
    NewEntryRow = 0;
    for (int r = 1; r <= TableRows && NewEntryRow == 0; ++r) {
        if (score < HighScores[r]) continue;
        NewEntryRow = static_cast<int16_t>(r);
        for (int h = TableRows; h >= r + 1; --h) {
            HighScoreNames[h] = HighScoreNames[h - 1];
            HighScores[h] = HighScores[h - 1];
        }
        HighScoreNames[r].clear();
        HighScores[r] = score;
    }
}

void ClearTable() {
    ++TableResets;
    for (int r = 1; r <= TableRows; ++r) {
        HighScoreNames[r].clear();
        HighScores[r] = 0;
    }
}

namespace {

PauseClock steadyClock;
PauseClock* pauseClock = &steadyClock;

}  // namespace

PauseClock& CurrentPauseClock() { return *pauseClock; }

void SetPauseClock(PauseClock* clock) { pauseClock = clock != nullptr ? clock : &steadyClock; }

void Wait(int32_t seconds) {
    using Clock = PauseClock::Clock;
    PauseClock& clock = CurrentPauseClock();
    const auto total = std::chrono::milliseconds(static_cast<int64_t>(seconds) * MillisecondsPerSecond);
    const auto deadline = clock.now() + total;
    Pausing = true;
    // An event loop that takes no user input sleeps until its timer fires, so the pause
    // costs no CPU; the deadline guards against waking early.
    for (auto left = deadline - clock.now(); left > Clock::duration::zero();
         left = deadline - clock.now()) {
        QEventLoop loop;
        const auto ms = clock.sleepFor(left).count();
        QTimer::singleShot(static_cast<int>(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    Pausing = false;
}

}  // namespace orbelix::mdlMain
