// The end of a game, the high-score table and window, name entry, and the main screen's
// hide and show, through the real windows.
#include <QElapsedTimer>
#include <csignal>

#include "SystemInput.h"
#include "TestSupport.h"
#include "platform/SignalBridge.h"
#include "ui/frmHighScore.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// A board whose only move is the pair at column 1, rows 9 and 10 of layer 1: taking it
// ends the game with 4 points.
BoardGrid LastMoveBoard() {
    BoardGrid board = Checkered();
    board(1, 9, 1) = 7;
    board(1, 10, 1) = 7;
    return board;
}

void SetTable(HighScoreTable& table, std::initializer_list<int32_t> scores) {
    int r = 1;
    for (int32_t score : scores) {
        table.setRow(r, QStringLiteral("P%1").arg(r), score);
        ++r;
    }
}

void TypeKeys(QWidget* window, const QString& keys) {
    for (QChar key : keys) QTest::keyClicks(window, QString(key));
}

// Counts the modal windows that open while it exists, and closes each at once, so that
// a window that should not have opened is seen instead of waiting for a player.
class ModalWatch {
  public:
    ModalWatch() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++opened;
                modal->close();
            }
        });
        timer_.start();
    }
    int opened = 0;

  private:
    QTimer timer_;
};

using namespace std::chrono_literals;

}  // namespace

class EndGameTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;
    // The length of a second of the pause as the game ships, before the tests shorten it.
    int realSecond = Pause::MillisecondsPerSecond();

  private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    // ---- The table on its own. ----
    void placeScore_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("scoresAfter");
        const QList<int> table = {900, 800, 700, 700, 500, 400, 300, 200, 100, 50};
        QTest::newRow("above every entry")
            << 950 << 1 << QList<int>{950, 900, 800, 700, 700, 500, 400, 300, 200, 100};
        QTest::newRow("equal to rows 3 and 4")
            << 700 << 3 << QList<int>{900, 800, 700, 700, 700, 500, 400, 300, 200, 100};
        QTest::newRow("equal to row 10")
            << 50 << 10 << QList<int>{900, 800, 700, 700, 500, 400, 300, 200, 100, 50};
        QTest::newRow("below row 10") << 40 << 0 << table;
    }
    void placeScore() {
        QFETCH(int, score);
        QFETCH(int, row);
        QFETCH(QList<int>, scoresAfter);
        HighScoreTable table;
        SetTable(table, {900, 800, 700, 700, 500, 400, 300, 200, 100, 50});
        table.PlaceScore(score);
        QCOMPARE(int(table.newEntryRow()), row);
        for (int r = 1; r <= 10; ++r) QCOMPARE(int(table.score(r)), scoresAfter[r - 1]);
        if (row != 0) {
            QVERIFY(table.name(row).isEmpty());
            if (row < 10) QCOMPARE(table.name(row + 1), QStringLiteral("P%1").arg(row));
        }
    }

    void clearedTableTakesEveryResult() {
        HighScoreTable table;
        SetTable(table, {900, 800});
        table.ClearHighScores();
        table.PlaceScore(0);
        QCOMPARE(table.newEntryRow(), int16_t(1));
        table.AppendToName(QLatin1Char('F'));
        table.PlaceScore(0);  // the same score again ranks above the older one
        QCOMPARE(table.newEntryRow(), int16_t(1));
        QCOMPARE(table.name(2), QStringLiteral("F"));
    }

    // ---- The pause. ----
    void waitKeepsTheLoopAliveButReturnsOnTime() {
        SteppedClock clock;
        Pause::SetMillisecondsPerSecond(40);
        bool timerRan = false;
        bool pausingSeen = false;
        QTimer::singleShot(0, [&] {
            timerRan = true;
            pausingSeen = Pause::Pausing();
        });
        Pause::Wait(2);
        QCOMPARE(clock.elapsed(), 80ms);
        QVERIFY(timerRan);  // events other than input are handled meanwhile
        QVERIFY(pausingSeen);
        QVERIFY(!Pause::Pausing());
        const int sleeps = clock.sleeps();
        Pause::Wait(0);
        Pause::Wait(-5);
        QCOMPARE(clock.elapsed(), 80ms);
        QCOMPARE(clock.sleeps(), sleeps);
        Pause::SetMillisecondsPerSecond(0);
    }

    void theSteadyClockSleepsUntilTheDeadline() {
        Pause::Clock steady;
        QCOMPARE(steady.sleepFor(4500ms), 4500ms);
        QCOMPARE(steady.sleepFor(std::chrono::microseconds(1500)), 2ms);  // never wakes early
        QCOMPARE(&Pause::CurrentClock() == &steady, false);
    }

    // After the last move "Game Over!" stands for five seconds; a click on New or Ctrl+N
    // in that time waits and starts the next game once the five seconds are over. When
    // the result takes a row of the table, the high-score window comes first and the
    // waiting click or key does nothing behind it.
    void gameOverPauseLastsFiveSecondsAndHoldsInputBack_data() {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("reachesTable");
        QTest::newRow("click on New") << false << false;
        QTest::newRow("Ctrl+N") << true << false;
        QTest::newRow("click on New, then the table") << false << true;
        QTest::newRow("Ctrl+N, then the table") << true << true;
    }
    void gameOverPauseLastsFiveSecondsAndHoldsInputBack() {
        QFETCH(bool, byKey);
        QFETCH(bool, reachesTable);
        if (!reachesTable)
            SetTable(window->table(), {900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
        ModalWatch watch;
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        StartGameWith(*window, LastMoveBoard());
        Pause::SetMillisecondsPerSecond(realSecond);
        bool heldBack = false;
        bool pausing = false;
        SteppedClock clock([&](std::chrono::milliseconds gone) {
            if (gone == 1000ms) {
                if (byKey)
                    QueueKey(window.get(), Qt::Key_N, Qt::ControlModifier, QStringLiteral("\x0e"));
                else
                    QueueClick(Control(*window, "pctNew"));
            }
            if (gone == 4750ms) {
                pausing = Pause::Pausing();
                heldBack = window->game().gameInProgress() && window->game().score() == 4 &&
                           Control(*window, "pctGameOver")->isVisible() &&
                           !Control(*window, "pctBoard")->isVisible();
            }
        });
        QueueClick(Control(*window, "pctBoard"), BallPoint(1, 10, 1));
        DeliverQueued();
        DeliverQueued();
        QCOMPARE(clock.elapsed(), 5000ms);
        QVERIFY(pausing);
        QVERIFY(heldBack);
        QVERIFY(!Pause::Pausing());
        if (reachesTable) {
            QCOMPARE(watch.opened, 1);
            QVERIFY(!window->game().gameInProgress());
            QCOMPARE(window->game().score(), 4);
            QCOMPARE(window->table().score(1), 4);
            return;
        }
        QCOMPARE(watch.opened, 0);
        // The held-back New acted after the pause: a fresh game is on the board.
        QVERIFY(window->game().gameInProgress());
        QCOMPARE(window->game().score(), 0);
        QVERIFY(!Control(*window, "pctGameOver")->isVisible());
        QVERIFY(Control(*window, "pctBoard")->isVisible());
        QCOMPARE(window->game().board().ballCount(), CellCount);
    }

    // ---- Closing while a game ends. ----
    // The window's close box or the session ending during the pause: the pause (cut short
    // when the session ends) and the score's placement finish, the settings with the new
    // score are saved, the window closes, and no name entry opens for a program that is
    // quitting.
    void closingDuringThePauseQuitsWithoutNameEntry_data() {
        QTest::addColumn<bool>("bySignal");
        QTest::addColumn<bool>("reachesTable");
        QTest::newRow("close box") << false << true;
        QTest::newRow("session ends") << true << true;
        QTest::newRow("close box, score outside the table") << false << false;
        QTest::newRow("session ends, score outside the table") << true << false;
    }
    void closingDuringThePauseQuitsWithoutNameEntry() {
        QFETCH(bool, bySignal);
        QFETCH(bool, reachesTable);
        SignalBridge bridge([this] { window->RequestClose(); });
        if (!reachesTable)
            SetTable(window->table(), {900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
        StartGameWith(*window, LastMoveBoard());
        Pause::SetMillisecondsPerSecond(realSecond);
        bool openDuringPause = false;
        SteppedClock clock([&](std::chrono::milliseconds gone) {
            if (gone == 1000ms) {
                if (bySignal)
                    std::raise(SIGTERM);
                else
                    QueueCloseBox(window.get());
            }
            if (gone == 4750ms)
                openDuringPause =
                    window->isVisible() && Control(*window, "pctGameOver")->isVisible();
        });
        ModalWatch watch;
        PressOnBall(*window, 1, 10, 1);
        DeliverQueued();
        QCOMPARE(clock.elapsed() == 5000ms, !bySignal);
        QCOMPARE(openDuringPause, !bySignal);
        QCOMPARE(watch.opened, 0);
        QVERIFY(!window->isVisible());
        // A placed score is saved at once, before name entry would open; every close saves.
        QCOMPARE(window->saveCount(), reachesTable ? 2 : 1);
        const auto stored = SettingsFile::ReadAll();
        QCOMPARE(stored.value(QStringLiteral("HighScore1")),
                 reachesTable ? QStringLiteral(" 4") : QStringLiteral(" 900"));
        QCOMPARE(stored.value(QStringLiteral("HighScoreName1")),
                 reachesTable ? QString() : QStringLiteral("P1"));
    }

    // The same on the real clock, with a pause of ten seconds: the session's end wakes the
    // sleeping pause at once instead of waiting for it to run out (or for the watchdog that
    // ends a program five seconds after a signal, which fails this test with status 143).
    void theSessionEndingWakesASleepingPause() {
        SignalBridge bridge([this] { window->RequestClose(); });
        StartGameWith(*window, LastMoveBoard());
        Pause::SetMillisecondsPerSecond(2 * realSecond);
        QTimer::singleShot(100, [] { std::raise(SIGTERM); });
        ModalWatch watch;
        QElapsedTimer took;
        took.start();
        PressOnBall(*window, 1, 10, 1);
        QVERIFY2(took.elapsed() < 5 * realSecond, qPrintable(QString::number(took.elapsed())));
        QVERIFY(!window->isVisible());
    }

    // The session ending while the high-score window is up closes both windows and
    // keeps what the table holds by then, the name typed so far included.
    void sessionEndingWhileTheTableIsUpClosesBoth_data() {
        QTest::addColumn<bool>("afterAGame");
        QTest::newRow("name entry after a game") << true;
        QTest::newRow("table opened by its button") << false;
    }
    void sessionEndingWhileTheTableIsUpClosesBoth() {
        QFETCH(bool, afterAGame);
        SignalBridge bridge([this] { window->RequestClose(); });
        SetTable(window->table(), {900});
        int tablesOpened = 0;
        WhenModal([&](QWidget* modal) {
            ++tablesOpened;
            TypeKeys(modal, QStringLiteral("AB"));
            std::raise(SIGTERM);
        });
        if (afterAGame) {
            StartGameWith(*window, LastMoveBoard());
            PressOnBall(*window, 1, 10, 1);
        } else {
            Click(Control(*window, "pctHighScores"));
        }
        DeliverQueued();
        ModalWatch watch;  // nothing opens again once the program is quitting
        DeliverQueued();
        QCOMPARE(tablesOpened, 1);
        QCOMPARE(watch.opened, 0);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!window->isVisible());
        QVERIFY(!window->game().gameInProgress());
        const auto stored = SettingsFile::ReadAll();
        QCOMPARE(stored.value(QStringLiteral("HighScore1")), QStringLiteral(" 900"));
        if (afterAGame) {
            QCOMPARE(stored.value(QStringLiteral("HighScore2")), QStringLiteral(" 4"));
            QCOMPARE(stored.value(QStringLiteral("HighScoreName2")), QStringLiteral("AB"));
        } else {
            QCOMPARE(stored.value(QStringLiteral("HighScoreName1")),
                     QStringLiteral("P1"));  // typing only names a new row
        }
    }

    // ---- Name entry. ----
    void nameEntry_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("cursor");
        QTest::newRow("a b 1") << QList<int>{'a', 'b', '1'} << "AB1" << true << 4;
        QTest::newRow("digits 0 and 9") << QList<int>{'0', '9'} << "09" << true << 3;
        QTest::newRow("letters A and Z") << QList<int>{'A', 'Z', 'z'} << "AZZ" << true << 4;
        QTest::newRow("seven characters end entry")
            << QList<int>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'} << "ABCDEFG" << false << 8;
        QTest::newRow("A B Backspace C") << QList<int>{'A', 'B', 8, 'C'} << "AC" << true << 3;
        QTest::newRow("Backspace at cell 1") << QList<int>{8, 8} << "" << true << 1;
        QTest::newRow("Enter first") << QList<int>{13, 'X'} << "" << false << 1;
        QTest::newRow("blank, punctuation, Escape")
            << QList<int>{' ', '.', 27, '!', 'z'} << "Z" << true << 2;
        QTest::newRow("J O without Enter") << QList<int>{'J', 'O'} << "JO" << true << 3;
    }
    void nameEntry() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, name);
        QFETCH(bool, editing);
        QFETCH(int, cursor);
        window->table().PlaceScore(120);
        frmHighScore entry(window.get(), window->table());
        for (int key : keys) {
            if (key == 8)
                QTest::keyClick(&entry, Qt::Key_Backspace);
            else if (key == 13)
                QTest::keyClick(&entry, Qt::Key_Return);
            else if (key == 27)
                QTest::keyClick(&entry, Qt::Key_Escape);
            else
                QTest::keyClicks(&entry, QString(QChar(key)));
        }
        QCOMPARE(window->table().name(1), name);
        QCOMPARE(entry.editing(), editing);
        QCOMPARE(int(window->table().newEntryRow()), editing ? 1 : 0);
        // While a name is typed, the cursor picture stands in its cell of row 1.
        const QImage cell =
            Control(entry, "pctHighScore")->backImage().copy(146 + 22 * (cursor - 1), 4, 22, 28);
        const QImage cursorPicture = Control(entry, "pctAlphabet", 0)
                                         ->picture()
                                         .toImage()
                                         .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(cell == cursorPicture, editing);
    }

    void typedKeysArePictures() {
        window->table().PlaceScore(1520);
        frmHighScore entry(window.get(), window->table());
        entry.show();
        TypeKeys(&entry, QStringLiteral("ab1"));
        const QImage surface = Control(entry, "pctHighScore")->backImage();
        // Row 1: name cells at x 146, 168, 190, 212; digits from x 375; top 4.
        const auto cellIs = [&](int x, const QPixmap& picture) {
            return surface.copy(x, 4, 22, 28) ==
                   picture.toImage().convertToFormat(QImage::Format_RGB32);
        };
        QVERIFY(cellIs(146, Control(entry, "pctAlphabet", 1)->picture()));
        QVERIFY(cellIs(168, Control(entry, "pctAlphabet", 2)->picture()));
        QVERIFY(cellIs(190, Control(*window, "imgDigit", 1)->picture()));
        QVERIFY(cellIs(212, Control(entry, "pctAlphabet", 0)->picture()));  // the cursor
        const int digits[6] = {0, 0, 1, 5, 2, 0};
        for (int d = 0; d < 6; ++d)
            QVERIFY(cellIs(375 + 22 * d, Control(*window, "imgDigit", digits[d])->picture()));
        QVERIFY(!Control(entry, "pctReset")->isVisible());
    }

    void unknownCharactersAndOddScoresDrawBlank() {
        window->table().setRow(1, QStringLiteral("a?Ü"), -5);
        window->table().setRow(2, QString(), 123456789);
        frmHighScore view(window.get(), window->table());
        const QImage surface = Control(view, "pctHighScore")->backImage();
        for (int x = 146; x < 212; ++x)
            for (int y = 4; y < 32; ++y) QCOMPARE(surface.pixel(x, y), qRgb(0, 0, 0));
        for (int x = 375; x < 397; ++x)
            QCOMPARE(surface.pixel(x, 18), qRgb(0, 0, 0));  // the minus sign
        QVERIFY(!Control(view, "pctReset")->isHidden());
    }

    // ---- Whole games. ----
    void lastMoveEndsTheGameIntoNameEntry() {
        StartGameWith(*window, LastMoveBoard());
        bool sawEntry = false;
        WhenModal([&](QWidget* modal) {
            auto* entry = qobject_cast<frmHighScore*>(modal);
            QVERIFY(entry != nullptr);
            sawEntry = entry->editing() && !Control(*entry, "pctReset")->isVisible();
            QVERIFY(!Control(*window, "pctBoard")->isVisible());
            QVERIFY(!Control(*window, "pctNew")->isVisible());
            TypeKeys(entry, QStringLiteral("Jo"));
            QTest::keyClick(entry, Qt::Key_Return);
            // The finished name is on disk before Ok: the program killed now loses nothing.
            QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("HighScoreName1")),
                     QStringLiteral("JO"));
            Click(Control(*entry, "pctOk"));
        });
        PressOnBall(*window, 1, 10, 1);
        QVERIFY(sawEntry);
        QCOMPARE(window->table().name(1), QStringLiteral("JO"));
        QCOMPARE(window->table().score(1), 4);
        QCOMPARE(window->table().newEntryRow(), int16_t(0));
        QVERIFY(!window->game().gameInProgress());
        // Back on the main screen with the last board; the title waits for the next return.
        QVERIFY(Control(*window, "pctBoard")->isVisible());
        QVERIFY(!Control(*window, "pctGameOver")->isVisible());
        QVERIFY(!Control(*window, "pctOrbelix")->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // The finished game's board takes no more clicks: the game does not end again.
        ModalWatch watch;
        const BoardGrid last = window->game().board();
        PressOnBall(*window, 1, 1, 1);
        PressOnBall(*window, 2, 10, 1);
        Click(Control(*window, "pctUndo"));  // nor does Undo bring the last board back
        QCOMPARE(watch.opened, 0);
        QCOMPARE(window->game().board(), last);
        QCOMPARE(window->table().score(2), 0);
        QCOMPARE(window->game().score(), 4);
        QVERIFY(!Control(*window, "pctGameOver")->isVisible());
    }

    void scoreOutsideTheTableLeavesGameOverUntilNew() {
        SetTable(window->table(), {900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
        StartGameWith(*window, LastMoveBoard());
        PressOnBall(*window, 1, 10, 1);
        QVERIFY(!window->game().gameInProgress());
        QVERIFY(Control(*window, "pctGameOver")->isVisible());
        QVERIFY(!Control(*window, "pctBoard")->isVisible());
        QCOMPARE(window->table().score(10), 50);
        const BoardGrid last = window->game().board();
        ModalWatch watch;
        PressOnBall(*window, 1, 1, 1);  // a finished game takes no clicks
        QCOMPARE(window->game().board(), last);
        QCOMPARE(watch.opened, 0);
        QCOMPARE(window->table().score(10), 50);
        Click(Control(*window, "pctNew"));
        QVERIFY(!Control(*window, "pctGameOver")->isVisible());
        QVERIFY(Control(*window, "pctBoard")->isVisible());
        QVERIFY(window->game().gameInProgress());
    }

    void viewingShowsResetAndIgnoresTyping() {
        window->table().setNewEntryRow(3);  // a stale row must not open entry from the button
        bool checked = false;
        WhenModal([&](QWidget* modal) {
            auto* view = qobject_cast<frmHighScore*>(modal);
            QVERIFY(view != nullptr);
            QVERIFY(Control(*view, "pctReset")->isVisible());
            QVERIFY(!view->editing());
            TypeKeys(view, QStringLiteral("AB"));
            QTest::keyClick(view, Qt::Key_Space);  // does not close the window
            QVERIFY(view->isVisible());
            QVERIFY(window->table().name(1).isEmpty());
            checked = true;
            Click(Control(*view, "pctOk"));
        });
        Click(Control(*window, "pctHighScores"));
        QVERIFY(checked);
        QVERIFY(Control(*window, "pctBoard")->isVisible());
        QVERIFY(Control(*window, "pctOrbelix")->isVisible());
    }

    void resetEmptiesTheTableAndCloses() {
        SetTable(window->table(), {900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
        window->SaveSettings();  // on disk too, as every finished game's result is
        WhenModal([](QWidget* modal) { Click(Control(*modal, "pctReset")); });
        Click(Control(*window, "pctHighScores"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(window->table().score(r), 0);
            QVERIFY(window->table().name(r).isEmpty());
        }
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("HighScore1")), QStringLiteral(" 0"));
    }

    void highScoreWindowIsBorderlessAndCentred() {
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal->size(), QSize(609, 337));
            QVERIFY(modal->windowFlags() & Qt::FramelessWindowHint);
            // Under Wayland the compositor places it over its parent, the main window.
            QCOMPARE(modal->windowHandle()->transientParent(), window->windowHandle());
            if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
                QCOMPARE(modal->frameGeometry().center(), window->frameGeometry().center());
            modal->close();
        });
        Click(Control(*window, "pctHighScores"));
    }

    // ---- Hiding and showing the main screen. ----
    void hideAndShowKeepPlacesAndPictures() {
        StartGameWith(*window, LastMoveBoard());
        Click(Control(*window, "pctSound"));
        const auto snapshot = [&] {
            QList<QPair<QRect, qint64>> state;
            for (PictureBox* box : window->findChildren<PictureBox*>())
                state.append({box->geometry(), box->picture().cacheKey()});
            return state;
        };
        const auto before = snapshot();
        const QImage surface = Control(*window, "pctBoard")->backImage();
        window->HideMainScreen();
        window->HideMainScreen();
        for (PictureBox* box : window->findChildren<PictureBox*>()) QVERIFY(!box->isVisible());
        window->ShowMainScreen();
        window->ShowMainScreen();
        QCOMPARE(snapshot(), before);
        QCOMPARE(Control(*window, "pctBoard")->backImage(), surface);
        QVERIFY(!Control(*window, "pctOrbelix")->isVisible());  // a game is in progress
        for (PictureBox* box :
             {Control(*window, "pctBoard"), Control(*window, "pctNew"), Control(*window, "pctUndo"),
              Control(*window, "pctHelp"), Control(*window, "pctAbout"),
              Control(*window, "pctExit"), Control(*window, "pctHighScores"),
              Control(*window, "pctSound"), Control(*window, "pctColors", 0)})
            QVERIFY(box->isVisible());
        window = OpenFreshWindow();  // no game in progress
        window->HideMainScreen();
        window->ShowMainScreen();
        QVERIFY(Control(*window, "pctOrbelix")->isVisible());
    }
};

QTEST_MAIN(EndGameTest)
#include "test_endgame.moc"
