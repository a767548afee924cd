// The hint as a player gets it, through the real window: the time from the H key to the
// hint being shown, and the longest the window's thread went without running its events
// meanwhile. Plays the numbered boards 1..N at 6 and at 13 colours by H and Return for
// up to M moves each.
//
//     hint_probe [--boards N] [--moves M]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Pause.h"
#include "ui/frmMain.h"

using namespace orbelix;

namespace {

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int boards = 10;
    int movesPerBoard = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--boards") == 0) boards = atoi(argv[i + 1]);
        if (qstrcmp(argv[i], "--moves") == 0) movesPerBoard = atoi(argv[i + 1]);
    }
    Pause::SetMillisecondsPerSecond(0);
    frmMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;

    // The window's thread runs a tick every 2 ms; the longest gap between ticks is the
    // longest the window was frozen.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    bool measuring = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring) longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    ticker.start(2);

    for (const int colours : {6, 13}) {
        std::vector<double> times;
        longestGap = 0;
        for (int number = 1; number <= boards; ++number) {
            UniformRandom random;
            random.seed(static_cast<uint32_t>(number));
            BoardGrid board;
            FillRandom(board, static_cast<int16_t>(colours), random);
            window.NewGameOn(board);
            for (int move = 0; move < movesPerBoard && window.game().gameInProgress(); ++move) {
                QEventLoop wait;
                QObject::connect(&window.hints(), &BoardHints::hintHandled, &wait,
                                 &QEventLoop::quit);
                QTimer::singleShot(5000, &wait, &QEventLoop::quit);
                lastTick = clock.nsecsElapsed();
                measuring = true;
                const qint64 start = clock.nsecsElapsed();
                QTest::keyClick(&window, Qt::Key_H);
                wait.exec();
                times.push_back(static_cast<double>(clock.nsecsElapsed() - start) / 1e6);
                measuring = false;
                if (!window.guide().hint()) break;
                // The last move would open the high-score window: the probe stops short.
                BoardGrid after = window.game().board();
                GroupList group;
                const int n = CollectGroup(after, group, window.cursor().at);
                RemoveAndSettle(after, group, n, [] {});
                if (!AnyMovesLeft(after)) break;
                QTest::keyClick(&window, Qt::Key_Return);
            }
        }
        std::printf(
            "%2d colours: %zu hints, key to hint median %.1f ms, 95th percentile %.1f ms, "
            "worst %.1f ms; longest freeze %.1f ms\n",
            colours, times.size(), Percentile(times, 0.5), Percentile(times, 0.95),
            times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()),
            static_cast<double>(longestGap) / 1e6);
    }
    return 0;
}
