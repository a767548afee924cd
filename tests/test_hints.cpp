// Hints and the verdict through the real window.
#include <QSignalSpy>

#include "TestSupport.h"
#include "game/SearchBoard.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// The mean balls left by 20 games of uniformly random moves (a random group each time).
double RandomPlayMean(const BoardGrid& dealt) {
    SearchRandom random(11);
    double sum = 0;
    for (int i = 0; i < 20; ++i) {
        SearchBoard board(dealt, Columns);
        GroupScan scan;
        for (scan.Scan(board); scan.count() > 0; scan.Scan(board))
            scan.Play(board, random.below(scan.count()));
        sum += board.ballsLeft();
    }
    return sum / 20;
}

}  // namespace

class HintsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void init() { window = OpenFreshWindow(); }

    // H and Return alone play a whole game that leaves at most a third of what random
    // play leaves; each hint's marks go with the move; the verdict comes after the end.
    void gameByHints_data() {
        QTest::addColumn<uint32_t>("number");
        QTest::addColumn<int16_t>("colours");
        QTest::newRow("board 5, 6 colours") << 5u << int16_t(6);
        QTest::newRow("board 12, 6 colours") << 12u << int16_t(6);
    }
    void gameByHints() {
        QFETCH(uint32_t, number);
        QFETCH(int16_t, colours);
        window->NewGameOn(DealNumbered(number, colours));
        QSignalSpy handled(&window->hints(), &BoardHints::hintHandled);
        QSignalSpy told(&window->overlay(), &BoardOverlay::told);
        const auto lastTold = [&told] { return told.last().at(0).toString(); };
        for (int moves = 0; window->game().gameInProgress(); ++moves) {
            QTest::keyClick(window.get(), Qt::Key_H);
            QTRY_COMPARE_WITH_TIMEOUT(handled.count(), moves + 1, 5000);
            // The hinted group is marked with the guide off, under the cursor, and said.
            const GroupPreview* marked = window->guide().preview();
            QVERIFY(marked != nullptr && marked->isMove() && marked->at == window->cursor().at);
            QCOMPARE(window->hintsUsed(), moves + 1);
            QCOMPARE(lastTold(), "Hint: " + DescribeCell(window->game().board(), marked->at));
            SearchBoard next(window->game().board(), window->game().columnsInUse());
            next.Play(SearchBoard::FromCell(marked->at));
            if (!AnyMovesLeft(next.ToGrid())) WhenModal([](QWidget* modal) { modal->close(); });
            QTest::keyClick(window.get(), Qt::Key_Return);
            QVERIFY2(window->game().board() == next.ToGrid(), "Return made the hinted move");
            QVERIFY(window->guide().preview() == nullptr);
        }
        const int left = window->game().board().ballCount();
        QVERIFY(left * 3 <= RandomPlayMean(window->game().dealtBoard()));
        // The end and its table did not wait for the verdict; it comes afterwards.
        QVERIFY(!window->verdict());
        // Its budget is counted in moves: a sanitized build takes ten times as long.
        QTRY_VERIFY_WITH_TIMEOUT(window->verdict().has_value(), 90000);
        QVERIFY(*window->verdict() <= left);
        QCOMPARE(lastTold(), QStringLiteral("You left %1 balls. The search left %2.")
                                 .arg(left)
                                 .arg(*window->verdict()));
        QTest::keyClick(window.get(), Qt::Key_H);
        QCOMPARE(lastTold(), QStringLiteral("No move left"));
    }

    // A hint found for a board that has changed since is dropped; one shown goes when the
    // cursor moves away, and a new game counts hints from 0.
    void hintForAnOldBoardIsDropped() {
        const BoardGrid dealt = DealNumbered(7, 13);
        window->NewGameOn(dealt);
        QSignalSpy handled(&window->hints(), &BoardHints::hintHandled);
        QTest::keyClick(window.get(), Qt::Key_H);
        PressOnBall(*window, FirstMove(dealt).column, FirstMove(dealt).row, 1);
        QVERIFY(!(window->game().board() == dealt) && handled.wait(5000));
        QVERIFY(!window->guide().hint() && window->hintsUsed() == 0);
        QTest::keyClick(window.get(), Qt::Key_H);
        QVERIFY(handled.wait(5000) && window->guide().preview() && window->hintsUsed() == 1);
        QTest::keyClick(window.get(), Qt::Key_L);
        QVERIFY(window->guide().preview() == nullptr);
        window->NewGameOn(dealt);
        QCOMPARE(window->hintsUsed(), 0);
    }
};

QTEST_MAIN(HintsTest)
#include "test_hints.moc"
