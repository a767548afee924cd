// Hints and the verdict through the real window: a game played by H and Return alone,
// the hint's marks, a hint for a board that has changed, and the verdict after the end.
#include <QSignalSpy>
#include <random>

#include "TestSupport.h"
#include "game/Moves.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

BoardGrid Numbered(uint32_t number, int16_t colours) {
    UniformRandom random;
    random.seed(number);
    BoardGrid board;
    FillRandom(board, colours, random);
    return board;
}

// Removes the group of `cell` as a move does; returns the group's size.
int Play(BoardGrid& board, Cell cell) {
    GroupList group;
    const int n = CollectGroup(board, group, cell);
    if (n >= 2) RemoveAndSettle(board, group, n, [] {});
    CloseUpColumns(board, Columns);
    return n;
}

// The mean balls left by uniformly random moves (a random group each time).
double RandomPlayMean(const BoardGrid& dealt, int playouts) {
    std::mt19937 random(11);
    double sum = 0;
    for (int i = 0; i < playouts; ++i) {
        BoardGrid board = dealt;
        for (;;) {
            std::vector<Cell> moves;
            QByteArray seen(CellCount, 0);
            for (int c = 1; c <= Columns; ++c)
                for (int r = 1; r <= Rows; ++r)
                    for (int l = 1; l <= Layers; ++l) {
                        const int index = ((c - 1) * Rows + r - 1) * Layers + l - 1;
                        if (board(c, r, l) == 0 || seen[index]) continue;
                        GroupList group;
                        const int n =
                            CollectGroup(board, group, {int16_t(r), int16_t(c), int16_t(l)});
                        for (int k = 1; k <= n; ++k) {
                            const Cell m = group.at(k);
                            seen[((m.column - 1) * Rows + m.row - 1) * Layers + m.layer - 1] = 1;
                        }
                        if (n >= 2) moves.push_back(group.at(1));
                    }
            if (moves.empty()) break;
            Play(board, moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(random)]);
        }
        sum += board.ballCount();
    }
    return sum / playouts;
}

}  // namespace

class HintsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    // H and Return alone play a whole game that leaves at most a third of what random
    // play leaves; each hint's marks go with the move; the verdict comes after the end.
    void gameByHints_data() {
        QTest::addColumn<uint32_t>("number");
        QTest::addColumn<int>("colours");
        QTest::newRow("board 5, 6 colours") << 5u << 6;
        QTest::newRow("board 12, 6 colours") << 12u << 6;
    }
    void gameByHints() {
        QFETCH(uint32_t, number);
        QFETCH(int, colours);
        const BoardGrid dealt = Numbered(number, static_cast<int16_t>(colours));
        const double randomMean = RandomPlayMean(dealt, 20);
        window->NewGameOn(dealt);
        QSignalSpy handled(&window->hints(), &BoardHints::hintHandled);
        QSignalSpy told(&window->overlay(), &BoardOverlay::told);
        int moves = 0;
        while (window->game().gameInProgress()) {
            QTest::keyClick(window.get(), Qt::Key_H);
            QTRY_COMPARE_WITH_TIMEOUT(handled.count(), moves + 1, 5000);
            // The hinted group is marked with the guide off, under the cursor.
            const GroupPreview* marked = window->guide().preview();
            QVERIFY(marked != nullptr && marked->isMove());
            QVERIFY(window->overlay().cursorShown());
            QCOMPARE(marked->at, window->cursor().at);
            QCOMPARE(window->hintsUsed(), moves + 1);
            QCOMPARE(told.last().at(0).toString(),
                     QStringLiteral("Hint: ") + DescribeCell(window->game().board(), marked->at));
            BoardGrid after = window->game().board();
            Play(after, window->cursor().at);
            if (!AnyMovesLeft(after)) WhenModal([](QWidget* modal) { modal->close(); });
            QTest::keyClick(window.get(), Qt::Key_Return);
            ++moves;
            QVERIFY2(window->game().board() == after, "Return made the hinted move");
            QVERIFY(window->guide().preview() == nullptr);
        }
        const int left = window->game().board().ballCount();
        qInfo("board %u: %d moves by hints leave %d balls, random play %.1f", number, moves, left,
              randomMean);
        QVERIFY(left * 3 <= randomMean);
        // The end and its table did not wait for the verdict; it comes afterwards.
        QVERIFY(!window->verdict());
        QTRY_VERIFY_WITH_TIMEOUT(window->verdict().has_value(), 20000);
        QVERIFY(*window->verdict() <= left);
        QCOMPARE(told.last().at(0).toString(),
                 QStringLiteral("You left %1 balls. The search left %2.")
                     .arg(left)
                     .arg(*window->verdict()));
        QCOMPARE(window->hintsUsed(), moves);
        // Nothing is left to hint.
        QTest::keyClick(window.get(), Qt::Key_H);
        QCOMPARE(told.last().at(0).toString(), QStringLiteral("No move left"));
    }

    // A hint found for a board that has changed since is dropped; one shown goes when the
    // cursor moves away, and a new game counts hints from 0.
    void hintForAnOldBoardIsDropped() {
        window->NewGameOn(Numbered(7, 13));
        QSignalSpy handled(&window->hints(), &BoardHints::hintHandled);
        QTest::keyClick(window.get(), Qt::Key_H);
        // A move by mouse before the result is taken.
        const BoardGrid before = window->game().board();
        const Cell move = FirstMove(before);
        PressOnBall(*window, move.column, move.row, move.layer);
        QVERIFY(!(window->game().board() == before));
        QVERIFY(handled.wait(5000));
        QVERIFY(!window->guide().hint());
        QCOMPARE(window->hintsUsed(), 0);

        QTest::keyClick(window.get(), Qt::Key_H);
        QVERIFY(handled.wait(5000));
        QVERIFY(window->guide().preview() != nullptr);
        QCOMPARE(window->hintsUsed(), 1);
        QTest::keyClick(window.get(), Qt::Key_L);
        QVERIFY(window->guide().preview() == nullptr);
        window->NewGameOn(Numbered(7, 13));
        QCOMPARE(window->hintsUsed(), 0);
    }
};

QTEST_MAIN(HintsTest)
#include "test_hints.moc"
