// The end of a game, the high-score table and window, name entry, and the main screen's
// hide and show, through the real windows.
#include "TestSupport.h"
#include "scores/frmHighScore.h"

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

void SetTable(std::initializer_list<int32_t> scores) {
    int r = 1;
    for (int32_t score : scores) {
        mdlMain::HighScoreNames[r] = QStringLiteral("P%1").arg(r);
        mdlMain::HighScores[r++] = score;
    }
}

void TypeKeys(QWidget* window, const QString& keys) {
    for (QChar key : keys) QTest::keyClicks(window, QString(key));
}

}  // namespace

class EndGameTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    // ---- The table on its own. ----
    void placeScore_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("scoresAfter");
        const QList<int> table = {900, 800, 700, 700, 500, 400, 300, 200, 100, 50};
        QTest::newRow("above every entry") << 950 << 1 << QList<int>{950, 900, 800, 700, 700, 500, 400, 300, 200, 100};
        QTest::newRow("equal to rows 3 and 4") << 700 << 3 << QList<int>{900, 800, 700, 700, 700, 500, 400, 300, 200, 100};
        QTest::newRow("equal to row 10") << 50 << 10 << QList<int>{900, 800, 700, 700, 500, 400, 300, 200, 100, 50};
        QTest::newRow("below row 10") << 40 << 0 << table;
    }
    void placeScore() {
        QFETCH(int, score);
        QFETCH(int, row);
        QFETCH(QList<int>, scoresAfter);
        SetTable({900, 800, 700, 700, 500, 400, 300, 200, 100, 50});
        mdlMain::PlaceScore(score);
        QCOMPARE(int(mdlMain::NewEntryRow), row);
        for (int r = 1; r <= 10; ++r) QCOMPARE(int(mdlMain::HighScores[r]), scoresAfter[r - 1]);
        if (row != 0) {
            QVERIFY(mdlMain::HighScoreNames[row].isEmpty());
            if (row < 10) QCOMPARE(mdlMain::HighScoreNames[row + 1], QStringLiteral("P%1").arg(row));
        }
    }

    void clearedTableTakesEveryResult() {
        mdlMain::ClearTable();
        mdlMain::PlaceScore(0);
        QCOMPARE(mdlMain::NewEntryRow, int16_t(1));
        mdlMain::HighScoreNames[1] = QStringLiteral("FIRST");
        mdlMain::PlaceScore(0);  // the same score again ranks above the older one
        QCOMPARE(mdlMain::NewEntryRow, int16_t(1));
        QCOMPARE(mdlMain::HighScoreNames[2], QStringLiteral("FIRST"));
    }

    // ---- The pause. ----
    void waitKeepsTheLoopAliveButReturnsOnTime() {
        mdlMain::MillisecondsPerSecond = 40;
        bool timerRan = false;
        QTimer::singleShot(10, [&] { timerRan = true; });
        QElapsedTimer clock;
        clock.start();
        mdlMain::Wait(2);
        QVERIFY(clock.elapsed() >= 80);
        QVERIFY(timerRan);  // events other than input are handled meanwhile
        QVERIFY(!mdlMain::Pausing);
        clock.restart();
        mdlMain::Wait(0);
        mdlMain::Wait(-5);
        QVERIFY(clock.elapsed() < 40);
        mdlMain::MillisecondsPerSecond = 0;
    }

    // ---- Name entry. ----
    void nameEntry_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("cursor");
        QTest::newRow("a b 1") << QList<int>{'a', 'b', '1'} << "AB1" << true << 4;
        QTest::newRow("seven characters end entry") << QList<int>{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'} << "ABCDEFG" << false << 8;
        QTest::newRow("A B Backspace C") << QList<int>{'A', 'B', 8, 'C'} << "AC" << true << 3;
        QTest::newRow("Backspace at cell 1") << QList<int>{8, 8} << "" << true << 1;
        QTest::newRow("Enter first") << QList<int>{13, 'X'} << "" << false << 1;
        QTest::newRow("blank, punctuation, Escape") << QList<int>{' ', '.', 27, '!', 'z'} << "Z" << true << 2;
        QTest::newRow("J O without Enter") << QList<int>{'J', 'O'} << "JO" << true << 3;
    }
    void nameEntry() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, name);
        QFETCH(bool, editing);
        QFETCH(int, cursor);
        mdlMain::PlaceScore(120);
        frmHighScore entry(*window);
        for (int key : keys) entry.Form_KeyPress(static_cast<int16_t>(key));
        QCOMPARE(mdlMain::HighScoreNames[1], name);
        QCOMPARE(entry.Editing, editing);
        QCOMPARE(int(entry.CursorPos), cursor);
        QCOMPARE(int(mdlMain::NewEntryRow), editing ? 1 : 0);
    }

    void typedKeysArePictures() {
        mdlMain::PlaceScore(1520);
        frmHighScore entry(*window);
        entry.show();
        TypeKeys(&entry, QStringLiteral("ab1"));
        const QImage surface = entry.pctHighScore->backImage();
        // Row 1: name cells at x 146, 168, 190, 212; digits from x 375; top 4.
        const auto cellIs = [&](int x, const QPixmap& picture) {
            return surface.copy(x, 4, 22, 28) == picture.toImage().convertToFormat(QImage::Format_RGB32);
        };
        QVERIFY(cellIs(146, entry.pctAlphabet[1]->picture()));
        QVERIFY(cellIs(168, entry.pctAlphabet[2]->picture()));
        QVERIFY(cellIs(190, window->imgDigit[1]->picture()));
        QVERIFY(cellIs(212, entry.pctAlphabet[0]->picture()));  // the cursor
        const int digits[6] = {0, 0, 1, 5, 2, 0};
        for (int d = 0; d < 6; ++d) QVERIFY(cellIs(375 + 22 * d, window->imgDigit[digits[d]]->picture()));
        QVERIFY(!entry.pctReset->isVisible());
    }

    void unknownCharactersAndOddScoresDrawBlank() {
        mdlMain::HighScoreNames[1] = QStringLiteral("a?Ü");
        mdlMain::HighScores[1] = -5;
        mdlMain::HighScores[2] = 123456789;
        frmHighScore view(*window);
        const QImage surface = view.pctHighScore->backImage();
        for (int x = 146; x < 212; ++x)
            for (int y = 4; y < 32; ++y) QCOMPARE(surface.pixel(x, y), qRgb(0, 0, 0));
        for (int x = 375; x < 397; ++x) QCOMPARE(surface.pixel(x, 18), qRgb(0, 0, 0));  // the minus sign
        QVERIFY(!view.pctReset->isHidden());
    }

    // ---- Whole games. ----
    void lastMoveEndsTheGameIntoNameEntry() {
        StartGameWith(*window, LastMoveBoard());
        bool sawEntry = false;
        WhenModal([&](QWidget* modal) {
            auto* entry = qobject_cast<frmHighScore*>(modal);
            QVERIFY(entry != nullptr);
            sawEntry = entry->Editing && !entry->pctReset->isVisible();
            QVERIFY(!window->pctBoard->isVisible());
            QVERIFY(!window->pctNew->isVisible());
            TypeKeys(entry, QStringLiteral("Jo"));
            QTest::keyClick(entry, Qt::Key_Return);
            Click(entry->pctOk);
        });
        PressOnBall(*window, 1, 10, 1);
        QVERIFY(sawEntry);
        QCOMPARE(mdlMain::HighScoreNames[1], QStringLiteral("JO"));
        QCOMPARE(mdlMain::HighScores[1], 4);
        QCOMPARE(mdlMain::NewEntryRow, int16_t(0));
        QVERIFY(!window->GameInProgress);
        // Back on the main screen with the last board; the title waits for the next return.
        QVERIFY(window->pctBoard->isVisible());
        QVERIFY(!window->pctGameOver->isVisible());
        QVERIFY(!window->pctOrbelix->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The result is on disk already.
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("HighScoreName1")), QStringLiteral("JO"));
    }

    void scoreOutsideTheTableLeavesGameOverUntilNew() {
        SetTable({900, 800, 700, 600, 500, 400, 300, 200, 100, 50});
        StartGameWith(*window, LastMoveBoard());
        PressOnBall(*window, 1, 10, 1);
        QVERIFY(!window->GameInProgress);
        QVERIFY(window->pctGameOver->isVisible());
        QVERIFY(!window->pctBoard->isVisible());
        QCOMPARE(mdlMain::HighScores[10], 50);
        PressOnBall(*window, 1, 1, 1);  // a finished game takes no clicks
        Click(window->pctNew);
        QVERIFY(!window->pctGameOver->isVisible());
        QVERIFY(window->pctBoard->isVisible());
        QVERIFY(window->GameInProgress);
    }

    void viewingShowsResetAndIgnoresTyping() {
        mdlMain::NewEntryRow = 3;  // a stale row must not open entry from the button
        bool checked = false;
        WhenModal([&](QWidget* modal) {
            auto* view = qobject_cast<frmHighScore*>(modal);
            QVERIFY(view != nullptr);
            QVERIFY(view->pctReset->isVisible());
            QVERIFY(!view->Editing);
            TypeKeys(view, QStringLiteral("AB"));
            QTest::keyClick(view, Qt::Key_Space);  // does not close the window
            QVERIFY(view->isVisible());
            QVERIFY(mdlMain::HighScoreNames[1].isEmpty());
            checked = true;
            Click(view->pctOk);
        });
        Click(window->pctHighScores);
        QVERIFY(checked);
        QVERIFY(window->pctBoard->isVisible());
        QVERIFY(window->pctOrbelix->isVisible());
    }

    void resetEmptiesTheTableAndCloses() {
        SetTable({900, 800});
        WhenModal([](QWidget* modal) { Click(qobject_cast<frmHighScore*>(modal)->pctReset); });
        Click(window->pctHighScores);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        for (int r = 1; r <= 10; ++r) {
            QCOMPARE(mdlMain::HighScores[r], 0);
            QVERIFY(mdlMain::HighScoreNames[r].isEmpty());
        }
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("HighScore1")), QStringLiteral(" 0"));
    }

    void highScoreWindowIsBorderlessAndCentred() {
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal->size(), QSize(609, 337));
            QVERIFY(modal->windowFlags() & Qt::FramelessWindowHint);
            QCOMPARE(modal->frameGeometry().center(), window->frameGeometry().center());
            modal->close();
        });
        Click(window->pctHighScores);
    }

    // ---- Hiding and showing the main screen. ----
    void hideAndShowKeepPlacesAndPictures() {
        StartGameWith(*window, LastMoveBoard());
        window->pctSound_Click();
        const auto snapshot = [&] {
            QList<QPair<QRect, qint64>> state;
            for (PictureBox* box : window->findChildren<PictureBox*>())
                state.append({box->geometry(), box->picture().cacheKey()});
            return state;
        };
        const auto before = snapshot();
        const QImage surface = window->pctBoard->backImage();
        window->HideMainScreen();
        window->HideMainScreen();
        for (PictureBox* box : window->findChildren<PictureBox*>()) QVERIFY(!box->isVisible());
        window->ShowMainScreen();
        window->ShowMainScreen();
        QCOMPARE(snapshot(), before);
        QCOMPARE(window->pctBoard->backImage(), surface);
        QVERIFY(!window->pctOrbelix->isVisible());  // a game is in progress
        for (PictureBox* box : {window->pctBoard, window->pctNew, window->pctUndo, window->pctHelp, window->pctAbout,
                                window->pctExit, window->pctHighScores, window->pctSound, window->pctColors[0]})
            QVERIFY(box->isVisible());
        window->GameInProgress = false;
        window->HideMainScreen();
        window->ShowMainScreen();
        QVERIFY(window->pctOrbelix->isVisible());
    }
};

QTEST_MAIN(EndGameTest)
#include "test_endgame.moc"
