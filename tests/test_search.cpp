// The search's lines replay through Game to the same boards, columns and score; its groups
// are the game's, each once; it is deterministic and stops when cancelled; the runner hands
// on the newest result only.
#include <QtTest>
#include <chrono>
#include <ctime>
#include <future>
#include <thread>

#include "game/Game.h"
#include "game/Search.h"
#include "game/SearchBoard.h"
#include "game/SearchRunner.h"

using namespace orbelix;
using Clock = std::chrono::steady_clock;

namespace {

SearchBudget Budget(int64_t moves) {
    SearchBudget budget;
    budget.moves = moves;
    return budget;
}

// The groups the scan lists against the game's own group search: each listed group has
// the game's size for its cell, and together they cover every ball in a group of two or
// more, so none is missing and none listed twice.
bool ScanAgrees(const SearchBoard& board, const BoardGrid& grid) {
    GroupScan scan;
    scan.Scan(board);
    int listed = 0;
    GroupList group;
    for (int g = 0; g < scan.count(); ++g) {
        listed += scan.group(g).size;
        if (CollectGroup(grid, group, SearchBoard::ToCell(scan.group(g).first)) !=
            scan.group(g).size)
            return false;
    }
    int inGroups = 0;
    for (int i = 0; i < SearchBoard::Size; ++i)
        if (board.at(i) != 0) inGroups += CollectGroup(grid, group, SearchBoard::ToCell(i)) >= 2;
    return listed == (AnyMovesLeft(grid) ? inGroups : 0);
}

// Replays `line` through Game and the search's board side by side; fails at the first
// move where they differ or that the game would not take.
void Replay(const BoardGrid& start, const SearchResult& result, bool checkScan) {
    Game game;
    game.New(start, 0);
    SearchBoard board(start, Columns);
    for (const Cell cell : result.line) {
        QVERIFY(game.AnyMovesLeft());
        if (checkScan) QVERIFY(ScanAgrees(board, game.board()));
        const int taken = game.RemoveGroup(cell, [] {});
        QVERIFY(taken >= 2);
        QCOMPARE(board.Play(SearchBoard::FromCell(cell)), taken);
        QVERIFY(board.ToGrid() == game.board());
        QCOMPARE(board.columnsInUse(), int(game.columnsInUse()));
        QCOMPARE(game.score(), 2 * (start.ballCount() - board.ballsLeft()));
    }
    QVERIFY(!game.AnyMovesLeft());
    QCOMPARE(game.board().ballCount(), result.ballsLeft);
}

}  // namespace

class TestSearch : public QObject {
    Q_OBJECT

  private slots:
    void linesReplayThroughTheGame() {
        for (uint32_t n = 1; n <= 1000; ++n) {
            const BoardGrid board = DealNumbered(n, static_cast<int16_t>(MinColors + n % 8));
            Replay(board, Search(board, Columns, Budget(150)), n % 25 == 0);
            if (QTest::currentTestFailed()) QFAIL(qPrintable(QString("board %1").arg(n)));
        }
    }

    // A pair touching only front to back is a move while another pair touches within a
    // layer, and none once no pair does.
    void frontToBackPairs_data() {
        QTest::addColumn<bool>("withLayerPair");
        QTest::addColumn<int>("groups");
        QTest::addColumn<int>("left");
        QTest::newRow("front-to-back pair alone") << false << 0 << 3;
        QTest::newRow("and a pair within a layer") << true << 2 << 1;
    }
    void frontToBackPairs() {
        QFETCH(bool, withLayerPair);
        BoardGrid board;
        board(1, Rows, 1) = board(1, Rows, 2) = 1;
        board(2, Rows, 3) = 3;
        if (withLayerPair) board(3, Rows, 1) = board(4, Rows, 1) = 2;
        GroupScan scan;
        scan.Scan(SearchBoard(board, Columns));
        QTEST(scan.count(), "groups");
        const SearchResult result = Search(board, Columns, Budget(1000));
        QTEST(result.ballsLeft, "left");
        Replay(board, result, true);
    }

    void sameBoardAndBudgetSameLine() {
        const BoardGrid board = DealNumbered(7, 13);
        const SearchResult first = Search(board, Columns, SearchBudget::Hint());
        const SearchResult second = Search(board, Columns, SearchBudget::Hint());
        QVERIFY(!first.line.empty());
        QVERIFY(first.line == second.line);
        QCOMPARE(first.movesMade, second.movesMade);
    }

    // The line it starts from is kept unless a better one is found; an illegal move in it
    // cuts it short there.
    void knownLineIsNeverWorsened() {
        const BoardGrid board = DealNumbered(3, 6);
        const SearchResult known = Search(board, Columns, Budget(20000));
        const SearchResult again = Search(board, Columns, Budget(100), nullptr, known.line);
        QVERIFY(again.ballsLeft <= known.ballsLeft);
        Replay(board, again, false);
        std::vector<Cell> broken = known.line;
        broken[3] = broken[2];  // that ball has just gone
        Replay(board, Search(board, Columns, Budget(100), nullptr, broken), false);
    }

    void cancelStopsPromptly() {
        const BoardGrid board = DealNumbered(11, 6);
        std::atomic<bool> cancel{true};
        const SearchResult before = Search(board, Columns, Budget(1'000'000'000), &cancel);
        QVERIFY(before.cancelled);
        QVERIFY(before.movesMade < CellCount);
        Replay(board, before, false);

        cancel = false;
        Clock::time_point raised;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            raised = Clock::now();
            cancel = true;
        });
        const SearchResult during = Search(board, Columns, Budget(1'000'000'000), &cancel);
        const auto late = Clock::now() - raised;
        canceller.join();
        QVERIFY(during.cancelled);
        QVERIFY(late < std::chrono::milliseconds(200));
        Replay(board, during, false);
    }

    void runnerHandsOnTheNewestOnly() {
        const BoardGrid board = DealNumbered(5, 9);
        std::atomic<int> stale{0};
        std::promise<std::pair<uint64_t, SearchResult>> delivered;
        {
            SearchRunner runner;
            runner.Start(board, Columns, Budget(1'000'000'000),
                         [&](uint64_t, const SearchResult&) { ++stale; });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const uint64_t newest = runner.Start(board, Columns, SearchBudget::Hint(),
                                                 [&](uint64_t number, const SearchResult& result) {
                                                     delivered.set_value({number, result});
                                                 });
            auto future = delivered.get_future();
            QVERIFY(future.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
            const auto [number, result] = future.get();
            QCOMPARE(number, newest);
            QVERIFY(result.line == Search(board, Columns, SearchBudget::Hint()).line);
            // A cancelled search is not handed on either.
            runner.Start(board, Columns, Budget(1'000'000'000),
                         [&](uint64_t, const SearchResult&) { ++stale; });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            runner.Cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Nothing runs any more: the process spends next to no time.
            const std::clock_t before = std::clock();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            QVERIFY(std::clock() - before < CLOCKS_PER_SEC / 100);
        }
        QCOMPARE(stale.load(), 0);
    }

    void runnerStopsWhileSearching() {
        const auto begin = Clock::now();
        {
            SearchRunner runner;
            runner.Start(DealNumbered(2, 6), Columns, Budget(1'000'000'000),
                         [](uint64_t, const SearchResult&) {});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        QVERIFY(Clock::now() - begin < std::chrono::milliseconds(300));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
