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
            if (!Control(*window, "imgScore", 6 - a)
                     ->samePicture(
                         Control(*window, "imgDigit", text[a - 1].unicode() - '0')->picture()))
                return false;
        return true;
    }

  private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    void startUpState() {
        QCOMPARE(window->game().board(), BoardGrid{});
        QCOMPARE(window->game().score(), 0);
        QVERIFY(!window->game().gameInProgress());
        QCOMPARE(window->game().colorCount(), int16_t(6));
        for (int i = 0; i <= Columns; ++i)
            for (int l = 0; l <= Layers; ++l) {
                QCOMPARE(window->game().tables().BallLeft[i][l], int16_t(0));
                QCOMPARE(window->game().tables().BallTop[i][l], int16_t(0));
            }
        // The board reaches down the outer height; the title is centred on the outer size,
        // which offscreen, with no frame, is the client size.
        const QSize outer = window->placement().outerSize();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QCOMPARE(outer, QSize(656, 364));
        QCOMPARE(Control(*window, "pctBoard")->geometry(), QRect(0, 0, 542, outer.height()));
        QVERIFY(Control(*window, "pctOrbelix")->isVisible());
        QCOMPARE(Control(*window, "pctOrbelix")->pos(),
                 QPoint((outer.width() - 241) / 2, (outer.height() - 90) / 2));
        QVERIFY(Control(*window, "pctColors", 0)
                    ->samePicture(Control(*window, "pctColors", 1)->picture()));
        QVERIFY(!window->SoundIsOn());
        QVERIFY(!Control(*window, "pctGameOver")->isVisible());
        // No board is drawn: the surface is plain grey and the score shows nothing.
        const QImage& surface = Control(*window, "pctBoard")->backImage();
        QCOMPARE(surface.pixel(100, 100), Control(*window, "pctBoard")->backColor().rgb());
        QVERIFY(Control(*window, "imgScore", 0)->picture().isNull());
        QCOMPARE(window->grab().toImage().pixel(600, 350), qRgb(0, 0, 0));
    }

    void newGameFillsDrawsAndZeroesTheScore() {
        for (int step = 0; step < 3; ++step) Click(Control(*window, "pctColors", 0));  // 9 colours
        Click(Control(*window, "pctNew"));
        QVERIFY(window->game().gameInProgress());
        QVERIFY(!Control(*window, "pctOrbelix")->isVisible());
        QCOMPARE(window->game().columnsInUse(), int16_t(10));
        QCOMPARE(window->game().board().ballCount(), CellCount);
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r)
                for (int l = 1; l <= Layers; ++l) QVERIFY(window->game().board()(c, r, l) <= 9);
        QCOMPARE(window->game().tables().BallLeft[10][3], int16_t(477));
        QCOMPARE(window->game().tables().BallTop[10][1], int16_t(295));
        QCOMPARE(window->game().score(), 0);
        QVERIFY(ScoreShows(0));
    }

    void removingClickTakesTheGroupAndScores() {
        StartGameWith(*window, Playable(), 10);
        const BoardGrid before = window->game().board();
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->game().score(), 14);
        QCOMPARE(window->game().undoScore(), 10);
        QCOMPARE(window->game().undoBoard(), before);
        QCOMPARE(window->game().group().GroupCount, int16_t(2));
        // The two balls of column 2 went; the two above them dropped two rows.
        QCOMPARE(window->game().board()(2, 4, 1), before(2, 2, 1));
        QCOMPARE(window->game().board()(2, 3, 1), before(2, 1, 1));
        QCOMPARE(window->game().board()(2, 1, 1), int16_t(0));
        QCOMPARE(window->game().board()(2, 2, 1), int16_t(0));
        QVERIFY(ScoreShows(14));
        QVERIFY(window->game().gameInProgress());
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
        QCOMPARE(window->game().score(), 4);
    }

    void loneBallAndEmptyCellChangeNothing() {
        StartGameWith(*window, Playable());
        PressOnBall(*window, 2, 4, 1);
        const BoardGrid afterMove = window->game().board();
        const BoardGrid snapshot = window->game().undoBoard();
        PressOnBall(*window, 5, 5, 1);  // a lone ball
        QCOMPARE(window->game().board(), afterMove);
        QCOMPARE(window->game().undoBoard(), snapshot);
        QCOMPARE(window->game().score(), 4);
        QCOMPARE(window->game().group().GroupCount, int16_t(1));
        PressOnBall(*window, 2, 1, 1);  // emptied by the move
        QCOMPARE(window->game().board(), afterMove);
        QCOMPARE(window->game().group().GroupCount, int16_t(1));
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
        QTest::mouseClick(Control(*window, "pctBoard"), Qt::LeftButton, {}, point);
        QCOMPARE(window->game().board().ballCount(), CellCount);
    }

    void clicksBeforeAGameDoNothing() {
        PressOnBall(*window, 1, 1, 1);
        QCOMPARE(window->game().board(), BoardGrid{});
        QVERIFY(!window->game().gameInProgress());
        QVERIFY(Control(*window, "imgScore", 0)->picture().isNull());
    }

    void emptiedColumnClosesUp() {
        BoardGrid board = Playable();
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(3, r, l) = 7;
        StartGameWith(*window, board);
        const BoardGrid before = window->game().board();
        PressOnBall(*window, 3, 5, 2);
        QCOMPARE(window->game().score(), 60);
        QCOMPARE(window->game().columnsInUse(), int16_t(9));
        QCOMPARE(window->game().board()(3, 5, 1), before(4, 5, 1));
        QCOMPARE(window->game().board()(9, 5, 1), before(10, 5, 1));
        QCOMPARE(window->game().board()(10, 5, 1), int16_t(0));
    }

    void undoTakesBackTheLastMoveOnly() {
        StartGameWith(*window, Playable());
        const BoardGrid start = window->game().board();
        PressOnBall(*window, 2, 4, 1);
        const BoardGrid afterFirst = window->game().board();
        PressOnBall(*window, 8, 7, 1);
        QCOMPARE(window->game().score(), 8);
        Click(Control(*window, "pctUndo"));
        QCOMPARE(window->game().board(), afterFirst);
        QCOMPARE(window->game().score(), 4);
        QVERIFY(ScoreShows(4));
        Click(Control(*window, "pctUndo"));  // a second Undo changes nothing
        QCOMPARE(window->game().board(), afterFirst);
        QCOMPARE(window->game().score(), 4);
        QVERIFY(window->game().board() != start);
    }

    void undoRestoresTheColumnCount() {
        BoardGrid board = Playable();
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(3, r, l) = 7;
        StartGameWith(*window, board);
        PressOnBall(*window, 3, 5, 2);
        QCOMPARE(window->game().columnsInUse(), int16_t(9));
        Click(Control(*window, "pctUndo"));
        QCOMPARE(window->game().columnsInUse(), int16_t(10));
        QCOMPARE(window->game().board(), board);
    }

    void undoDoesNothingBeforeTheGamesFirstMove() {
        Click(Control(*window, "pctUndo"));  // before any game
        QCOMPARE(window->game().board(), BoardGrid{});
        StartGameWith(*window, Playable());
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->game().columnsInUse(), int16_t(10));
        // A new game on another board: the last game's snapshot must not come back.
        Click(Control(*window, "pctNew"));
        const BoardGrid fresh = window->game().board();
        QVERIFY(fresh != Playable());
        Click(Control(*window, "pctUndo"));
        QCOMPARE(window->game().board(), fresh);
        QCOMPARE(window->game().score(), 0);
        QVERIFY(ScoreShows(0));
    }

    // Every start of the program deals its own boards.
    void eachStartDealsOtherBoards() {
        Click(Control(*window, "pctNew"));
        const BoardGrid first = window->game().board();
        auto other = std::make_unique<frmMain>();
        Click(Control(*other, "pctNew"));
        QVERIFY(other->game().board() != first);
        Click(Control(*window, "pctNew"));
        QVERIFY(window->game().board() != first);  // and every New a new one
    }

    void soundStartsOncePerBallOnlyWhenOn() {
        StartGameWith(*window, Playable());
        const int before = window->sound().starts();
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->sound().starts(), before);  // sound is off
        Click(Control(*window, "pctSound"));
        QVERIFY(window->SoundIsOn());
        PressOnBall(*window, 8, 7, 1);
        QCOMPARE(window->sound().starts(), before + 2);
    }

    void eachStartCutsOffTheLast() {
        Click(Control(*window, "pctSound"));
        StartGameWith(*window, Uniform());
        WhenModal(
            [](QWidget* highScores) { highScores->close(); });  // the board empties: game over
        PressOnBall(*window, 1, 1, 1);
        QCOMPARE(window->game().score(), 600);
        QCOMPARE(window->sound().starts(), 300);
        // 300 starts leave at most one bleep queued: none waited for or queued behind another.
        if (window->sound().deviceOpen())
            QVERIFY(window->sound().queuedBytes() <= window->sound().lastLength());
    }

    void keyboardShortcutsFollowTheButtons() {
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);  // no game: nothing
        QVERIFY(!window->game().gameInProgress());
        QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(window->game().gameInProgress());
        StartGameWith(*window, Playable());
        PressOnBall(*window, 2, 4, 1);
        QCOMPARE(window->game().score(), 4);
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window->game().score(), 0);
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(Control(*window, "pctHelpText")->isVisible());
        QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);  // New is not on screen
        QCOMPARE(window->game().board()(2, 4, 1), Playable()(2, 4, 1));
        Click(Control(*window, "pctHelpText"));
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->saveCount(), 2);
    }

    void picturesHaveAccessibleNames() {
        for (PictureBox* box : {Control(*window, "pctNew"), Control(*window, "pctUndo"),
                                Control(*window, "pctHelp"), Control(*window, "pctAbout"),
                                Control(*window, "pctExit"), Control(*window, "pctHighScores"),
                                Control(*window, "pctColors", 0), Control(*window, "pctSound")})
            QVERIFY2(!box->accessibleName().isEmpty() && !box->accessibleDescription().isEmpty(),
                     qPrintable(box->objectName()));
        QCOMPARE(Control(*window, "pctColors", 0)->accessibleName(),
                 QStringLiteral("Colour count: 6 colours"));
        Click(Control(*window, "pctColors", 0));
        QCOMPARE(Control(*window, "pctColors", 0)->accessibleName(),
                 QStringLiteral("Colour count: 7 colours"));
        QCOMPARE(Control(*window, "pctSound")->accessibleName(), QStringLiteral("Sound off"));
        Click(Control(*window, "pctSound"));
        QCOMPARE(Control(*window, "pctSound")->accessibleName(), QStringLiteral("Sound on"));
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
