// The game's rules on plain data: hit testing, group search, settling, closing up
// columns, the moves-left test, filling and the score text.
#include <QtTest>

#include "game/BoardModel.h"
#include "game/Moves.h"

using namespace orbelix;

Q_DECLARE_METATYPE(orbelix::Cell)

namespace {

PixelTables FilledTables() {
    PixelTables tables;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) {
                const QPoint at = BallPlacement(c, r, l);
                tables.BallLeft[c][l] = static_cast<int16_t>(at.x());
                tables.BallTop[r][l] = static_cast<int16_t>(at.y());
            }
    return tables;
}

// A board where no two neighbours (in any direction) share a colour.
BoardGrid Checkered() {
    BoardGrid board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l)
                board(c, r, l) = static_cast<int16_t>(1 + (c + r + l) % 2);
    return board;
}

BoardGrid Uniform(int16_t colour) {
    BoardGrid board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(c, r, l) = colour;
    return board;
}

}  // namespace

class RulesTest : public QObject {
    Q_OBJECT

  private slots:
    void placementFollowsTheTiltedBox() {
        QCOMPARE(BallPlacement(1, 1, 1), QPoint(12, 25));
        QCOMPARE(BallPlacement(1, 1, 3), QPoint(36, 15));
        // The last stack's back ball reaches x 501, its front ball y 319.
        QCOMPARE(BallPlacement(10, 10, 3).x() + BallSize - 1, 501);
        QCOMPARE(BallPlacement(10, 10, 1).y() + BallSize - 1, 319);
    }

    void hitTest_data() {
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<bool>("hit");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("layer");
        // Rows: the upper row wins the 6 pixels where two rows overlap.
        QTest::newRow("y 14 above the board") << QPointF(20, 14) << false << 0 << 0 << 0;
        QTest::newRow("y 15 row 1") << QPointF(20, 15) << true << 1 << 1 << 1;
        QTest::newRow("y 45 row 1") << QPointF(20, 45) << true << 1 << 1 << 1;
        QTest::newRow("y 50 row 1") << QPointF(20, 50) << true << 1 << 1 << 1;
        QTest::newRow("y 50.5 row 2") << QPointF(20, 50.5) << true << 2 << 1 << 1;
        QTest::newRow("y 51 row 2") << QPointF(20, 51) << true << 2 << 1 << 1;
        QTest::newRow("y 80 row 2") << QPointF(20, 80) << true << 2 << 1 << 1;
        QTest::newRow("y 81 row 3") << QPointF(20, 81) << true << 3 << 1 << 1;
        QTest::newRow("y 320 row 10") << QPointF(20, 320) << true << 10 << 1 << 1;
        QTest::newRow("y 320.5 below") << QPointF(20, 320.5) << false << 0 << 0 << 0;
        // Columns: 26 / 11 / 12 pixels for the front, middle and back balls.
        QTest::newRow("x 11 left of the board") << QPointF(11, 20) << false << 0 << 0 << 0;
        QTest::newRow("x 12 layer 1") << QPointF(12, 20) << true << 1 << 1 << 1;
        QTest::newRow("x 36 layer 1") << QPointF(36, 20) << true << 1 << 1 << 1;
        QTest::newRow("x 37 layer 1") << QPointF(37, 20) << true << 1 << 1 << 1;
        QTest::newRow("x 37.5 layer 2") << QPointF(37.5, 20) << true << 1 << 1 << 2;
        QTest::newRow("x 38 layer 2") << QPointF(38, 20) << true << 1 << 1 << 2;
        QTest::newRow("x 48 layer 2") << QPointF(48, 20) << true << 1 << 1 << 2;
        QTest::newRow("x 49 layer 3") << QPointF(49, 20) << true << 1 << 1 << 3;
        QTest::newRow("x 60 layer 3") << QPointF(60, 20) << true << 1 << 1 << 3;
        // Half pixels, as a 2x screen reports them: each crescent starts where the ball
        // in front of it ends.
        QTest::newRow("x 36.5 layer 1") << QPointF(36.5, 20) << true << 1 << 1 << 1;
        QTest::newRow("x 48.25 layer 3") << QPointF(48.25, 20) << true << 1 << 1 << 3;
        QTest::newRow("x 48.5 layer 3") << QPointF(48.5, 20) << true << 1 << 1 << 3;
        QTest::newRow("x 244.5 column 5 layer 3") << QPointF(244.5, 140) << true << 4 << 5 << 3;
        QTest::newRow("x 61 column 2") << QPointF(61, 20) << true << 1 << 2 << 1;
        QTest::newRow("x 489 column 10 layer 2") << QPointF(489, 300) << true << 10 << 10 << 2;
        QTest::newRow("x 501 column 10 layer 3") << QPointF(501, 300) << true << 10 << 10 << 3;
        QTest::newRow("x 502 right of the board") << QPointF(502, 300) << false << 0 << 0 << 0;
    }
    void hitTest() {
        QFETCH(QPointF, position);
        QFETCH(bool, hit);
        Cell cell;
        QCOMPARE(HitTest(FilledTables(), position, cell), hit);
        if (!hit) return;
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, layer);
        QCOMPARE(cell, (Cell{int16_t(row), int16_t(column), int16_t(layer)}));
    }

    void everyBoardPixelSelectsOneCell() {
        const PixelTables tables = FilledTables();
        for (int y = 15; y <= 320; ++y)
            for (int x = 12; x <= 501; ++x) {
                Cell cell;
                QVERIFY2(HitTest(tables, QPointF(x, y), cell),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void emptyTablesHitNothing() {
        Cell cell;
        QVERIFY(!HitTest(PixelTables{}, QPointF(100, 100), cell));
    }

    void groupIsBreadthFirstInNeighbourOrder() {
        BoardGrid board = Checkered();
        // Around (5,5,2): neighbours above, below and behind share its colour.
        const int16_t colour = 9;
        board(5, 5, 2) = colour;
        board(5, 4, 2) = colour;
        board(5, 6, 2) = colour;
        board(5, 5, 3) = colour;
        board(5, 3, 2) = colour;  // found around (4,5,2)
        board(6, 6, 2) = colour;  // found around (6,5,2)
        GroupList group;
        const int n = CollectGroup(board, group, {5, 5, 2});
        QCOMPARE(n, 6);
        QCOMPARE(group.GroupCount, int16_t(6));
        const QList<Cell> expected = {{5, 5, 2}, {4, 5, 2}, {6, 5, 2},
                                      {5, 5, 3}, {3, 5, 2}, {6, 6, 2}};
        for (int i = 1; i <= n; ++i) QCOMPARE(group.at(i), expected[i - 1]);
        QVERIFY(group.InGroup(3, 5, 5));
        QVERIFY(!group.InGroup(5, 3, 5));  // the argument order is layer, row, column
    }

    void layersJoinOnlyWhenAdjacent_data() {
        QTest::addColumn<int>("otherLayer");
        QTest::addColumn<int>("size");
        QTest::newRow("layers 1 and 2") << 2 << 2;
        QTest::newRow("layers 1 and 3") << 3 << 1;
    }
    void layersJoinOnlyWhenAdjacent() {
        QFETCH(int, otherLayer);
        QFETCH(int, size);
        BoardGrid board = Checkered();
        board(4, 4, 1) = 7;
        board(4, 4, otherLayer) = 7;
        GroupList group;
        QCOMPARE(CollectGroup(board, group, {4, 4, 1}), size);
    }

    void oneColourBoardIsOneGroupOf300() {
        GroupList group;
        QCOMPARE(CollectGroup(Uniform(3), group, {10, 10, 3}), CellCount);
        QCOMPARE(group.GroupCount, int16_t(CellCount));
    }

    void settlingDropsBallsWithinTheirColumnAndLayer() {
        BoardGrid board;
        // Column 1, layer 1: a b X c X then five balls; X are removed.
        const int16_t column[11] = {0, 1, 2, 9, 3, 9, 4, 4, 5, 5, 6};
        for (int r = 1; r <= Rows; ++r) board(1, r, 1) = column[r];
        board(1, 10, 2) = 8;  // a ball in the layer behind stays put
        GroupList group;
        group.append(3, 1, 1);
        group.append(5, 1, 1);
        int removed = 0;
        RemoveAndSettle(board, group, 2, [&] { ++removed; });
        QCOMPARE(removed, 2);
        const int16_t expected[11] = {0, 0, 0, 1, 2, 3, 4, 4, 5, 5, 6};
        for (int r = 1; r <= Rows; ++r) QCOMPARE(board(1, r, 1), expected[r]);
        QCOMPARE(board(1, 10, 2), int16_t(8));
    }

    void groupAcrossLayersSettlesPerLayer() {
        BoardGrid board;
        board(2, 9, 1) = 5;
        board(2, 10, 1) = 4;  // stays; layer 1 column has a hole above it
        board(2, 8, 2) = 6;
        board(2, 9, 2) = 5;
        board(2, 10, 2) = 3;
        GroupList group;
        QCOMPARE(CollectGroup(board, group, {9, 2, 1}), 2);
        RemoveAndSettle(board, group, 2, [] {});
        QCOMPARE(board(2, 9, 1), int16_t(0));
        QCOMPARE(board(2, 10, 1), int16_t(4));
        QCOMPARE(board(2, 9, 2), int16_t(6));  // fell within layer 2
        QCOMPARE(board(2, 8, 2), int16_t(0));
        QCOMPARE(board(2, 10, 2), int16_t(3));
    }

    void closeUpColumns_data() {
        QTest::addColumn<QList<int>>("emptyColumns");
        QTest::addColumn<int>("keepBallInLayer3Of");
        QTest::addColumn<int>("columnsInUse");
        QTest::newRow("one empty column") << QList<int>{3} << 0 << 9;
        QTest::newRow("two adjacent empty columns") << QList<int>{3, 4} << 0 << 8;
        QTest::newRow("one ball in layer 3 keeps a column") << QList<int>{3} << 3 << 10;
        QTest::newRow("the last column is never tested") << QList<int>{10} << 0 << 10;
    }
    void closeUpColumns() {
        QFETCH(QList<int>, emptyColumns);
        QFETCH(int, keepBallInLayer3Of);
        QFETCH(int, columnsInUse);
        BoardGrid board;
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r)
                for (int l = 1; l <= Layers; ++l)
                    board(c, r, l) = emptyColumns.contains(c) ? 0 : static_cast<int16_t>(c);
        if (keepBallInLayer3Of != 0) board(keepBallInLayer3Of, 10, 3) = 13;
        const BoardGrid before = board;

        QCOMPARE(int(CloseUpColumns(board, 10)), columnsInUse);
        if (columnsInUse == 10) {
            QCOMPARE(board, before);
            return;
        }
        // What is left moves left in order, and empty columns gather at the right.
        int next = 1;
        for (int c = 1; c <= Columns; ++c) {
            if (emptyColumns.contains(c)) continue;
            QCOMPARE(board(next, 5, 2), int16_t(c));
            ++next;
        }
        for (; next <= Columns; ++next) QCOMPARE(board(next, 1, 1) + board(next, 10, 3), 0);
    }

    void movesLeftOnlyWithinALayer_data() {
        QTest::addColumn<QPoint>("at");  // column, row of the first ball
        QTest::addColumn<int>("layer");
        QTest::addColumn<int>("dc");
        QTest::addColumn<int>("dr");
        QTest::addColumn<int>("dl");
        QTest::addColumn<bool>("movesLeft");
        QTest::newRow("side by side") << QPoint(5, 5) << 1 << 1 << 0 << 0 << true;
        QTest::newRow("one above the other") << QPoint(5, 5) << 1 << 0 << 1 << 0 << true;
        QTest::newRow("front to back only") << QPoint(5, 5) << 1 << 0 << 0 << 1 << false;
        QTest::newRow("side by side at the back") << QPoint(5, 5) << 3 << 1 << 0 << 0 << true;
        QTest::newRow("one above the other in the middle")
            << QPoint(5, 5) << 2 << 0 << 1 << 0 << true;
        QTest::newRow("bottom right corner") << QPoint(9, 10) << 3 << 1 << 0 << 0 << true;
        QTest::newRow("right column, bottom pair") << QPoint(10, 9) << 3 << 0 << 1 << 0 << true;
        QTest::newRow("top left corner") << QPoint(1, 1) << 1 << 1 << 0 << 0 << true;
    }
    void movesLeftOnlyWithinALayer() {
        QFETCH(QPoint, at);
        QFETCH(int, layer);
        QFETCH(int, dc);
        QFETCH(int, dr);
        QFETCH(int, dl);
        QFETCH(bool, movesLeft);
        BoardGrid board;  // empty cells never count
        QVERIFY(!AnyMovesLeft(board));
        board(at.x(), at.y(), layer) = 4;
        board(at.x() + dc, at.y() + dr, layer + dl) = 4;
        QCOMPARE(AnyMovesLeft(board), movesLeft);
        // The same pair among other balls that touch no ball of their colour.
        BoardGrid crowded = Checkered();
        crowded(at.x(), at.y(), layer) = 4;
        crowded(at.x() + dc, at.y() + dr, layer + dl) = 4;
        QCOMPARE(AnyMovesLeft(crowded), movesLeft);
    }

    void checkeredBoardHasNoMove() { QVERIFY(!AnyMovesLeft(Checkered())); }

    void fillUsesEveryColourAndNoOther_data() {
        QTest::addColumn<int>("colours");
        for (int colours = MinColors; colours <= MaxColors; ++colours)
            QTest::newRow(qPrintable(QString::number(colours))) << colours;
    }
    void fillUsesEveryColourAndNoOther() {
        QFETCH(int, colours);
        UniformRandom random;
        random.seed(static_cast<uint32_t>(colours));
        QSet<int> seen;
        for (int game = 0; game < 5; ++game) {
            BoardGrid board;
            FillRandom(board, static_cast<int16_t>(colours), random);
            QCOMPARE(board.ballCount(), CellCount);
            for (int c = 1; c <= Columns; ++c)
                for (int r = 1; r <= Rows; ++r)
                    for (int l = 1; l <= Layers; ++l) seen.insert(board(c, r, l));
        }
        QCOMPARE(seen.size(), colours);
        QVERIFY(*std::min_element(seen.begin(), seen.end()) == 1);
        QVERIFY(*std::max_element(seen.begin(), seen.end()) == colours);
    }

    // Numbered boards are the same in every version: a board handed to a friend, or
    // replayed a year later, must be dealt cell for cell as it was. Each row is the
    // board's first 30 cells (row by row, column by column, front to back, as hex
    // digits) and an FNV-1a hash of all 300.
    void numberedBoardsNeverChange_data() {
        QTest::addColumn<uint>("number");
        QTest::addColumn<int>("colours");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<uint>("hash");
        QTest::newRow("1, 6") << 1u << 6 << QByteArray("365611261213233536463254236214")
                              << 0x92dacbb6u;
        QTest::newRow("1, 13") << 1u << 13 << QByteArray("6dad124d242636596d8c659736c317")
                               << 0x9f67912au;
        QTest::newRow("424242, 6") << 424242u << 6 << QByteArray("325123345312261114553225663521")
                                   << 0x97c29720u;
        QTest::newRow("424242, 13")
            << 424242u << 13 << QByteArray("73a15768a7234d11289b643adc5b41") << 0xcbdfc29au;
        QTest::newRow("999999999, 6")
            << 999999999u << 6 << QByteArray("235434535453241166442313113162") << 0x9776173bu;
        QTest::newRow("999999999, 13")
            << 999999999u << 13 << QByteArray("36b877b798a64821cd8856272152d4") << 0x08545fdcu;
    }
    void numberedBoardsNeverChange() {
        QFETCH(uint, number);
        QFETCH(int, colours);
        QFETCH(QByteArray, first);
        QFETCH(uint, hash);
        const BoardGrid board = DealNumbered(number, static_cast<int16_t>(colours));
        QByteArray cells;
        for (int r = 1; r <= Rows; ++r)
            for (int c = 1; c <= Columns; ++c)
                for (int l = 1; l <= Layers; ++l) cells += "0123456789abcd"[board(c, r, l)];
        QCOMPARE(cells.left(30), first);
        uint32_t fnv = 0x811c9dc5u;
        for (char ch : cells) fnv = (fnv ^ static_cast<uint8_t>(ch)) * 0x01000193u;
        QCOMPARE(fnv, hash);
    }

    void scoreText_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "000000";
        QTest::newRow("7") << 7 << "000007";
        QTest::newRow("600") << 600 << "000600";
        QTest::newRow("1520") << 1520 << "001520";
        QTest::newRow("seven digits") << 1234567 << "1234567";
        QTest::newRow("negative") << -5 << "-000005";
    }
    void scoreText() {
        QFETCH(int, score);
        QFETCH(QString, text);
        QCOMPARE(FormatScore(score), text);
    }
};

QTEST_GUILESS_MAIN(RulesTest)
#include "test_rules.moc"
