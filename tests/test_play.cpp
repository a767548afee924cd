// Playing through the real main window: start-up, New, moves, the score, sound and Undo.
#include "TestSupport.h"

using namespace orbelix;
using namespace orbelix::testing;

class PlayTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

    // A checkered board with a few same-coloured groups put in, so moves remain.
    static BoardGrid Playable() {
        BoardGrid board = Checkered();
        board(2, 3, 1) = 5;
        board(2, 4, 1) = 5;  // a pair, one above the other
        board(7, 7, 1) = 6;
        board(8, 7, 1) = 6;  // another pair, side by side
        return board;
    }

    bool ScoreShows(int32_t value) const {
        const QString text = FormatScore(value);
        for (int a = 1; a <= 6; ++a)
            if (!window->imgScore[6 - a]->samePicture(window->imgDigit[text[a - 1].unicode() - '0']->picture()))
                return false;
        return true;
    }

private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    void startUpState() {
        QCOMPARE(window->Board, BoardGrid{});
        QCOMPARE(window->Score, 0);
        QVERIFY(!window->GameInProgress);
        QCOMPARE(window->ColorCount, int16_t(6));
        for (int i = 0; i <= Columns; ++i)
            for (int l = 0; l <= Layers; ++l) {
                QCOMPARE(window->Tables.BallLeft[i][l], int16_t(0));
                QCOMPARE(window->Tables.BallTop[i][l], int16_t(0));
            }
        // The board reaches down the outer height; the title is centred on the outer size,
        // which offscreen, with no frame, is the client size.
        const QSize outer = window->OuterSize();
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) QCOMPARE(outer, QSize(656, 364));
        QCOMPARE(window->pctBoard->geometry(), QRect(0, 0, 542, outer.height()));
        QVERIFY(window->pctOrbelix->isVisible());
        QCOMPARE(window->pctOrbelix->pos(), QPoint((outer.width() - 241) / 2, (outer.height() - 90) / 2));
        QVERIFY(window->pctColors[0]->samePicture(window->pctColors[1]->picture()));
        QVERIFY(!window->SoundIsOn());
        QVERIFY(!window->pctGameOver->isVisible());
        // No board is drawn: the surface is plain grey and the score shows nothing.
        const QImage& surface = window->pctBoard->backImage();
        QCOMPARE(surface.pixel(100, 100), window->pctBoard->backColor().rgb());
        QVERIFY(window->imgScore[0]->picture().isNull());
        QCOMPARE(window->grab().toImage().pixel(600, 350), qRgb(0, 0, 0));
    }

    void newGameFillsDrawsAndZeroesTheScore() {
        window->ColorCount = 9;
        Click(window->pctNew);
        QVERIFY(window->GameInProgress);
        QVERIFY(!window->pctOrbelix->isVisible());
        QCOMPARE(window->ColumnsInUse, int16_t(10));
        QCOMPARE(window->Board.ballCount(), CellCount);
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r)
                for (int l = 1; l <= Layers; ++l) QVERIFY(window->Board(c, r, l) <= 9);
        QCOMPARE(window->Tables.BallLeft[10][3], int16_t(477));
        QCOMPARE(window->Tables.BallTop[10][1], int16_t(295));
        QCOMPARE(window->Score, 0);
        QVERIFY(ScoreShows(0));
    }

    void removingClickTakesTheGroupAndScores() {
        StartGameWith(*window, Playable());
        window->Score = 10;
        const BoardGrid before = window->Board;
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->Score, 14);
        QCOMPARE(window->UndoScore, 10);
        QCOMPARE(window->UndoBoard, before);
        QCOMPARE(window->Group.GroupCount, int16_t(2));
        // The two balls of column 2 went; the two above them dropped two rows.
        QCOMPARE(window->Board(2, 4, 1), before(2, 2, 1));
        QCOMPARE(window->Board(2, 3, 1), before(2, 1, 1));
        QCOMPARE(window->Board(2, 1, 1), int16_t(0));
        QCOMPARE(window->Board(2, 2, 1), int16_t(0));
        QVERIFY(ScoreShows(14));
        QVERIFY(window->GameInProgress);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void everyButtonMakesAMove_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void everyButtonMakesAMove() {
        QFETCH(Qt::MouseButton, button);
        StartGameWith(*window, Playable());
        PressOnBall(*window, 8, 7, 1, button);
        QCOMPARE(window->Score, 4);
    }

    void loneBallAndEmptyCellChangeNothing() {
        StartGameWith(*window, Playable());
        PressOnBall(*window, 2, 4, 1);
        const BoardGrid afterMove = window->Board;
        const BoardGrid snapshot = window->UndoBoard;
        PressOnBall(*window, 5, 5, 1);  // a lone ball
        QCOMPARE(window->Board, afterMove);
        QCOMPARE(window->UndoBoard, snapshot);
        QCOMPARE(window->Score, 4);
        QCOMPARE(window->Group.GroupCount, int16_t(1));
        PressOnBall(*window, 2, 1, 1);  // emptied by the move
        QCOMPARE(window->Board, afterMove);
        QCOMPARE(window->Group.GroupCount, int16_t(1));
    }

    void clicksOffTheBoardDoNothing_data() {
        QTest::addColumn<QPoint>("point");
        QTest::newRow("left edge") << QPoint(11, 100);
        QTest::newRow("right of the balls") << QPoint(520, 100);
        QTest::newRow("above") << QPoint(100, 14);
        QTest::newRow("below") << QPoint(100, 340);
    }
    void clicksOffTheBoardDoNothing() {
        QFETCH(QPoint, point);
        StartGameWith(*window, Uniform());
        QTest::mouseClick(window->pctBoard, Qt::LeftButton, {}, point);
        QCOMPARE(window->Board.ballCount(), CellCount);
    }

    void clicksBeforeAGameDoNothing() {
        window->Board = Uniform();
        PressOnBall(*window, 1, 1, 1);
        QCOMPARE(window->Board.ballCount(), CellCount);
    }

    void emptiedColumnClosesUp() {
        BoardGrid board = Playable();
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(3, r, l) = 7;
        StartGameWith(*window, board);
        const BoardGrid before = window->Board;
        PressOnBall(*window, 3, 5, 2);
        QCOMPARE(window->Score, 60);
        QCOMPARE(window->ColumnsInUse, int16_t(9));
        QCOMPARE(window->Board(3, 5, 1), before(4, 5, 1));
        QCOMPARE(window->Board(9, 5, 1), before(10, 5, 1));
        QCOMPARE(window->Board(10, 5, 1), int16_t(0));
    }

    void undoTakesBackTheLastMoveOnly() {
        StartGameWith(*window, Playable());
        const BoardGrid start = window->Board;
        PressOnBall(*window, 2, 4, 1);
        const BoardGrid afterFirst = window->Board;
        PressOnBall(*window, 8, 7, 1);
        QCOMPARE(window->Score, 8);
        Click(window->pctUndo);
        QCOMPARE(window->Board, afterFirst);
        QCOMPARE(window->Score, 4);
        QVERIFY(ScoreShows(4));
        Click(window->pctUndo);  // a second Undo changes nothing
        QCOMPARE(window->Board, afterFirst);
        QCOMPARE(window->Score, 4);
        QVERIFY(window->Board != start);
    }

    void undoRestoresTheColumnCount() {
        BoardGrid board = Playable();
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(3, r, l) = 7;
        StartGameWith(*window, board);
        PressOnBall(*window, 3, 5, 2);
        QCOMPARE(window->ColumnsInUse, int16_t(9));
        Click(window->pctUndo);
        QCOMPARE(window->ColumnsInUse, int16_t(10));
        QCOMPARE(window->Board, board);
    }

    void undoDoesNothingBeforeTheGamesFirstMove() {
        Click(window->pctUndo);  // before any game
        QCOMPARE(window->Board, BoardGrid{});
        StartGameWith(*window, Playable());
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->ColumnsInUse, int16_t(10));
        // A new game on another board: the last game's snapshot must not come back.
        Click(window->pctNew);
        const BoardGrid fresh = window->Board;
        QVERIFY(fresh != Playable());
        Click(window->pctUndo);
        QCOMPARE(window->Board, fresh);
        QCOMPARE(window->Score, 0);
        QVERIFY(ScoreShows(0));
    }

    // Every start of the program deals its own boards.
    void eachStartDealsOtherBoards() {
        window->pctNew_Click();
        const BoardGrid first = window->Board;
        auto other = std::make_unique<frmMain>();
        other->pctNew_Click();
        QVERIFY(other->Board != first);
        window->pctNew_Click();
        QVERIFY(window->Board != first);  // and every New a new one
    }

    void soundStartsOncePerBallOnlyWhenOn() {
        StartGameWith(*window, Playable());
        const int before = window->Sound.starts();
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->Sound.starts(), before);  // sound is off
        Click(window->pctSound);
        QVERIFY(window->SoundIsOn());
        PressOnBall(*window, 8, 7, 1);
        QCOMPARE(window->Sound.starts(), before + 2);
    }

    void eachStartCutsOffTheLast() {
        Click(window->pctSound);
        StartGameWith(*window, Uniform());
        WhenModal([](QWidget* highScores) { highScores->close(); });  // the board empties: game over
        PressOnBall(*window, 1, 1, 1);
        QCOMPARE(window->Score, 600);
        QCOMPARE(window->Sound.starts(), 300);
        // 300 starts leave at most one bleep queued: none waited for or queued behind another.
        if (window->Sound.deviceOpen()) QVERIFY(window->Sound.queuedBytes() <= window->Sound.lastLength());
    }

    void keyboardShortcutsFollowTheButtons() {
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);  // no game: nothing
        QVERIFY(!window->GameInProgress);
        QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(window->GameInProgress);
        window->Board = Playable();
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->Score, 4);
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window->Score, 0);
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(window->pctHelpText->isVisible());
        QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);  // New is not on screen
        QCOMPARE(window->Board(2, 4, 1), Playable()(2, 4, 1));
        Click(window->pctHelpText);
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->SaveCount, 2);
    }

    void picturesHaveAccessibleNames() {
        for (PictureBox* box : {window->pctNew, window->pctUndo, window->pctHelp, window->pctAbout, window->pctExit,
                                window->pctHighScores, window->pctColors[0], window->pctSound})
            QVERIFY2(!box->accessibleName().isEmpty() && !box->accessibleDescription().isEmpty(),
                     qPrintable(box->objectName()));
        QCOMPARE(window->pctColors[0]->accessibleName(), QStringLiteral("Colour count: 6 colours"));
        Click(window->pctColors[0]);
        QCOMPARE(window->pctColors[0]->accessibleName(), QStringLiteral("Colour count: 7 colours"));
        QCOMPARE(window->pctSound->accessibleName(), QStringLiteral("Sound off"));
        Click(window->pctSound);
        QCOMPARE(window->pctSound->accessibleName(), QStringLiteral("Sound on"));
    }

private:
    static BoardGrid Uniform() {
        BoardGrid board;
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r)
                for (int l = 1; l <= Layers; ++l) board(c, r, l) = 4;
        return board;
    }
};

QTEST_MAIN(PlayTest)
#include "test_play.moc"
