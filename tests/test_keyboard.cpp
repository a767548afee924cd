// Playing from the keyboard: the cursor, whole games by keys, the keys that close the
// help, about and high-score screens, and the symbols switch.
#include "SystemInput.h"
#include "TestSupport.h"
#include "ui/frmHighScore.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

void Key(QWidget* target, int key) {
    QTest::keyClick(target, static_cast<Qt::Key>(key));
}

// A checkered board with one pair left to take, so that other clicks do not end the game.
BoardGrid WithAPair() {
    BoardGrid board = Checkered();
    board(7, 7, 1) = 6;
    board(8, 7, 1) = 6;
    return board;
}

// Walks the cursor to the cell with arrow keys and the layer key, as a player would: no
// more keys in a direction than the board has cells. Returns whether it got there.
bool WalkTo(frmMain& window, Cell target) {
    const auto press = [&window](int key, int most, auto away) {
        for (int i = 0; i < most && away(window.cursor().at); ++i) Key(&window, key);
    };
    if (!window.cursor().visible) Key(&window, Qt::Key_Right);  // the first key only shows it
    press(Qt::Key_Right, Columns, [&](Cell at) { return at.column < target.column; });
    press(Qt::Key_Left, Columns, [&](Cell at) { return at.column > target.column; });
    press(Qt::Key_Down, Rows, [&](Cell at) { return at.row < target.row; });
    press(Qt::Key_Up, Rows, [&](Cell at) { return at.row > target.row; });
    press(Qt::Key_L, Layers, [&](Cell at) { return at.layer != target.layer; });
    return window.cursor().at == target;
}

struct GameResult {
    bool over = false;
    QList<Cell> moves;
    BoardGrid board;
    int32_t score = 0;
    QString name;
    int32_t tableScore = 0;
};

// Plays a seeded game to its end, choosing the first removable group each time, by
// keys or by mouse; the name goes into the table by keys.
GameResult PlayWholeGame(bool byKeys, const QList<Cell>& replay = {}) {
    auto window = OpenFreshWindow();
    window->Seed(20261207);
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    GameResult result;
    bool named = false;
    WhenModal([&](QWidget* modal) {
        auto* table = qobject_cast<frmHighScore*>(modal);
        QVERIFY(table != nullptr && table->editing());
        QTest::keyClicks(table, QStringLiteral("ann"));
        QTest::keyClick(table, Qt::Key_Return);  // ends the name; the table stays
        QVERIFY(table->isVisible());
        QTest::keyClick(table, Qt::Key_Escape);  // closes it
        named = true;
    });
    for (int guard = 0; window->game().gameInProgress() && guard < 300; ++guard) {
        const Cell cell = replay.isEmpty() ? FirstMove(window->game().board())
                                           : replay.value(result.moves.size());
        if (cell.row == 0) break;
        result.moves.append(cell);
        if (byKeys) {
            if (!WalkTo(*window, cell)) break;
            Key(window.get(), guard % 2 == 0 ? Qt::Key_Return : Qt::Key_Space);
        } else {
            PressOnBall(*window, cell.column, cell.row, cell.layer);
        }
    }
    if (!named) qWarning("the table did not open");
    result.over = !window->game().gameInProgress();
    result.board = window->game().board();
    result.score = window->game().score();
    result.name = window->table().name(1);
    result.tableScore = window->table().score(1);
    return result;
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() { window.reset(); }

    void wholeGameByKeysEqualsTheSameGameByMouse() {
        window.reset();
        const GameResult keys = PlayWholeGame(true);
        QVERIFY(keys.over);
        QVERIFY(keys.moves.size() > 5);
        QVERIFY(keys.score > 0);
        QCOMPARE(keys.name, QStringLiteral("ANN"));
        QCOMPARE(keys.tableScore, keys.score);
        const GameResult mouse = PlayWholeGame(false, keys.moves);
        QCOMPARE(mouse.moves.size(), keys.moves.size());
        QCOMPARE(mouse.board, keys.board);
        QCOMPARE(mouse.score, keys.score);
        QCOMPARE(mouse.tableScore, keys.tableScore);
    }

    void cursorStaysHiddenUntilAKeyAndStopsAtTheEdges() {
        StartGameWith(*window, Checkered());
        QVERIFY(!window->cursor().visible);
        Key(window.get(), Qt::Key_Left);  // shows it where it stands, does not move it
        QVERIFY(window->cursor().visible);
        QCOMPARE(window->cursor().at, (Cell{1, 1, 1}));
        Key(window.get(), Qt::Key_Left);
        Key(window.get(), Qt::Key_Up);
        QCOMPARE(window->cursor().at, (Cell{1, 1, 1}));
        for (int i = 0; i < 14; ++i) Key(window.get(), Qt::Key_Right);
        for (int i = 0; i < 14; ++i) Key(window.get(), Qt::Key_Down);
        QCOMPARE(window->cursor().at, (Cell{10, 10, 1}));
        const int16_t layers[] = {2, 3, 1, 2};
        for (int16_t layer : layers) {
            Key(window.get(), Qt::Key_L);
            QCOMPARE(window->cursor().at, (Cell{10, 10, layer}));
        }
        Key(window.get(), Qt::Key_Left);
        QCOMPARE(window->cursor().at, (Cell{10, 9, 2}));  // the layer is kept
    }

    void cursorIsPaintedOverTheBoardNeverIntoIt() {
        StartGameWith(*window, WithAPair());
        const QImage stored = Control(*window, "pctBoard")->backImage().copy();
        QCOMPARE(
            Control(*window, "pctBoard")->grab().toImage().convertToFormat(QImage::Format_RGB32),
            stored);
        for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_L, Qt::Key_L}) {
            Key(window.get(), key);
            QCOMPARE(Control(*window, "pctBoard")->backImage(), stored);
            const QImage shown = Control(*window, "pctBoard")
                                     ->grab()
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            QVERIFY(shown != stored);
            // The ring lies just outside the cursor's ball.
            const QPoint at = BallPlacement(window->cursor().at.column, window->cursor().at.row,
                                            window->cursor().at.layer);
            QCOMPARE(shown.pixel(at + QPoint(12, -2)), qRgb(255, 255, 255));
        }
        // Any mouse press hides it: the picture is the stored board again.
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(600, 345));
        QVERIFY(!window->cursor().visible);
        QCOMPARE(
            Control(*window, "pctBoard")->grab().toImage().convertToFormat(QImage::Format_RGB32),
            stored);
        Key(window.get(), Qt::Key_Down);
        PressOnBall(*window, 5, 5, 1);
        QVERIFY(!window->cursor().visible);
    }

    void keysDoNothingWithoutAGame() {
        const QImage blank = Control(*window, "pctBoard")->backImage().copy();
        for (int key : {Qt::Key_Right, Qt::Key_L, Qt::Key_Return, Qt::Key_Space})
            Key(window.get(), key);
        QVERIFY(!window->cursor().visible);
        QVERIFY(!window->game().gameInProgress());
        QCOMPARE(Control(*window, "pctBoard")->backImage(), blank);
    }

    void enterRemovesTheGroupUnderTheCursor() {
        BoardGrid board = Checkered();
        board(3, 2, 2) = 5;
        board(3, 2, 3) = 5;  // a pair, middle and back layer of one stack
        StartGameWith(*window, board);
        Key(window.get(), Qt::Key_Return);  // shows the cursor, removes nothing
        QCOMPARE(window->game().score(), 0);
        WalkTo(*window, {2, 3, 2});
        Key(window.get(), Qt::Key_Space);
        QCOMPARE(window->game().score(), 4);
        QVERIFY(window->cursor().visible);
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);  // undo as ever
        QCOMPARE(window->game().score(), 0);
        QCOMPARE(window->game().board(), board);
    }

    void screensHideTheCursor() {
        StartGameWith(*window, Checkered());
        Key(window.get(), Qt::Key_Down);
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(!window->cursor().visible);
        Key(window.get(), Qt::Key_Down);  // the board is not on screen: nothing
        QVERIFY(!window->cursor().visible);
    }

    // Mouse clicks, screens and keys as the window system delivers them. A button has the
    // keyboard only after Tab: a mouse player's button column ends as it started, and no
    // key pressed while Help, About or the table is up reaches the board behind it, while
    // Escape, Enter and Space close Help and About every time.
    void screensNeverHandKeysToTheMainScreen_data() {
        QTest::addColumn<QString>("steps");
        QTest::newRow("help closed by a click") << "move Help click";
        QTest::newRow("about closed by a click") << "move About click";
        QTest::newRow("Return on help, then again") << "move Help Return Return";
        QTest::newRow("Space on about, then again") << "move About Space Space";
        QTest::newRow("Esc, Esc, Return") << "move Help Esc About Esc Help Return";
        QTest::newRow("Esc, Esc, Space") << "move About Esc Help Esc About Space Help Enter";
        QTest::newRow("keys behind help") << "move Help S Ctrl+Z Ctrl+N L Down Enter";
        QTest::newRow("keys behind about") << "move About S Ctrl+Z Esc";
        QTest::newRow("the table, then keys") << "move HighScores Return Space";
        QTest::newRow("Tab, then a click") << "move Tab Tab click";
    }
    void screensNeverHandKeysToTheMainScreen() {
        QFETCH(QString, steps);
        StartGameWith(*window, WithAPair());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const QRect buttons(546, 60, 110, 250);  // the column of buttons, the score above it
        const QImage start = window->grab(buttons).toImage();
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("move")) {
                QueueClick(Control(*window, "pctBoard"), BallPoint(7, 7, 1));
            } else if (step == QLatin1String("click")) {  // the open page, else the black
                QWidget* page = window.get();
                for (const char* name : {"pctHelpText", "pctAboutText"})
                    if (Control(*window, name)->isVisible()) page = Control(*window, name);
                QueueClick(page, page == window.get() ? QPoint(600, 345) : QPoint(2, 2));
            } else if (QStringList{"Help", "About", "HighScores"}.contains(
                           step)) {  // a button by its name
                if (step == QLatin1String("HighScores"))
                    WhenModal(
                        [](QWidget* modal) { QueueKey(modal, Qt::Key_Escape, {}, QString()); });
                QueueClick(Control(*window, qPrintable(QStringLiteral("pct") + step)));
            } else {
                const QKeyCombination key = QKeySequence::fromString(step)[0];
                QueueKey(window.get(), key.key(), key.keyboardModifiers(), QString());
            }
            DeliverQueued();
        }
        QVERIFY(window->currentScreen() == Screen::Main && Control(*window, "pctNew")->isVisible());
        QVERIFY(!Control(*window, "pctVersion", 0)->isVisible() && !window->showSymbols());
        QCOMPARE(window->game().score(), 4);  // the move, and nothing after it
        QCOMPARE(window->game().undoBoard(), WithAPair());
        QCOMPARE(window->grab(buttons).toImage(), start);
    }

    void viewedTableClosesOnEscapeAndEnterOnly_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Enter") << int(Qt::Key_Enter) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << false;
        QTest::newRow("letter") << int(Qt::Key_R) << false;
    }
    void viewedTableClosesOnEscapeAndEnterOnly() {
        QFETCH(int, key);
        QFETCH(bool, closes);
        window->table().setRow(1, QString(), 40);
        bool stillOpen = true;
        WhenModal([&](QWidget* modal) {
            Key(modal, key);
            stillOpen = modal->isVisible();
            if (stillOpen) Click(Control(*modal, "pctOk"));
        });
        Click(Control(*window, "pctHighScores"));
        QCOMPARE(stillOpen, !closes);
        QCOMPARE(window->table().score(1), 40);  // never a reset
        QVERIFY(Control(*window, "pctNew")->isVisible());
    }

    // A game ended by keys whose score takes no row: the hidden board hands the keyboard
    // to no button (Space would start a new game there).
    void aGameEndedByKeysLeavesTheKeysWithTheWindow() {
        for (int r = 1; r <= TableRows; ++r) window->table().setRow(r, QString(), 1000);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        BoardGrid pair;
        pair(1, 10, 1) = pair(1, 9, 1) = 1;
        StartGameWith(*window, pair);
        QVERIFY(WalkTo(*window, {10, 1, 1}));
        Key(window.get(), Qt::Key_Return);
        QVERIFY(!window->game().gameInProgress());
        QCOMPARE(window->focusWidget(), window.get());
    }

    void nameEntryKeepsEscapeAndEnter() {
        bool checked = false;
        WhenModal([&](QWidget* modal) {
            auto* table = qobject_cast<frmHighScore*>(modal);
            QTest::keyClick(table, Qt::Key_Escape);  // nothing during name entry
            QVERIFY(table->isVisible() && table->editing());
            QTest::keyClicks(table, QStringLiteral("jo"));
            QTest::keyClick(table, Qt::Key_Return);  // ends the name only
            QVERIFY(table->isVisible() && !table->editing());
            QTest::keyClick(table, Qt::Key_Return);  // now it closes
            QVERIFY(!table->isVisible());
            checked = true;
        });
        FinishGameWith(*window, 20);
        QVERIFY(checked);
        QCOMPARE(window->table().name(1), QStringLiteral("JO"));
    }

    // The symbols' and the guide's switches: kept once the player has used them.
    void switchIsStoredOnlyOnceUsed_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("name");
        QTest::newRow("symbols") << int(Qt::Key_S) << QStringLiteral("Symbols");
        QTest::newRow("guide") << int(Qt::Key_G) << QStringLiteral("Guide");
    }
    void switchIsStoredOnlyOnceUsed() {
        QFETCH(int, key);
        QFETCH(QString, name);
        const auto on = [&] {
            return name == QLatin1String("Guide") ? window->guide().on() : window->showSymbols();
        };
        window->close();
        QVERIFY(!SettingsFile::ReadAll().contains(name));
        window = OpenFreshWindow();
        Key(window.get(), key);
        Key(window.get(), key);  // on and off again: nothing changed, nothing written
        window->close();
        QVERIFY(!SettingsFile::ReadAll().contains(name));
        window = std::make_unique<frmMain>();
        window->show();
        Key(window.get(), key);
        window->close();
        QCOMPARE(SettingsFile::ReadAll().value(name), QStringLiteral("1"));
        window = std::make_unique<frmMain>();
        window->show();
        QVERIFY(on());
        Key(window.get(), key);  // the choice "off" is kept once made
        window->close();
        window = std::make_unique<frmMain>();
        window->show();
        QVERIFY(!on());
        window->close();
        QCOMPARE(SettingsFile::ReadAll().value(name), QStringLiteral("0"));
    }

    void symbolsKeyRedrawsAtOnceAndIsKept() {
        Key(window.get(), Qt::Key_S);  // no board yet: the surface stays blank
        QVERIFY(window->showSymbols());
        QCOMPARE(Control(*window, "pctBoard")->backImage().pixel(100, 100),
                 Control(*window, "pctBoard")->backColor().rgb());
        Key(window.get(), Qt::Key_S);
        QVERIFY(!window->showSymbols());

        StartGameWith(*window, Checkered());
        const QImage plain = Control(*window, "pctBoard")->backImage().copy();
        Key(window.get(), Qt::Key_S);
        const QImage marked = Control(*window, "pctBoard")->backImage().copy();
        QVERIFY(marked != plain);
        // Colour 1's symbol (a filled circle) is black in the middle of a front ball.
        QCOMPARE(window->game().board()(1, 2, 1), int16_t(1));
        QCOMPARE(marked.pixel(BallPlacement(1, 2, 1) + QPoint(12, 12)), qRgb(0, 0, 0));
        QVERIFY(plain.pixel(BallPlacement(1, 2, 1) + QPoint(12, 12)) != qRgb(0, 0, 0));
        // Behind: the symbol stands in the crescent that a middle ball shows.
        QCOMPARE(window->game().board()(1, 1, 2), int16_t(1));
        QCOMPARE(marked.pixel(BallPlacement(1, 1, 2) + QPoint(18, 12)), qRgb(0, 0, 0));
        QVERIFY(plain.pixel(BallPlacement(1, 1, 2) + QPoint(18, 12)) != qRgb(0, 0, 0));

        window->close();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Symbols")), QStringLiteral("1"));
        window = std::make_unique<frmMain>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->showSymbols());
        StartGameWith(*window, Checkered());
        QCOMPARE(Control(*window, "pctBoard")->backImage(), marked);
        Key(window.get(), Qt::Key_S);
        QCOMPARE(Control(*window, "pctBoard")->backImage(), plain);
    }

    // Keypad keys through the window system act as their main-keyboard twins, on the
    // board and on a page; each twin changes something, so the comparison is not empty.
    void keypadKeysActAsTheirTwins_data() {
        QTest::addColumn<int>("twin");
        QTest::addColumn<bool>("onHelp");
        QTest::newRow("Enter on the board") << int(Qt::Key_Return) << false;
        QTest::newRow("Left") << int(Qt::Key_Left) << false;
        QTest::newRow("Right") << int(Qt::Key_Right) << false;
        QTest::newRow("Up") << int(Qt::Key_Up) << false;
        QTest::newRow("Down") << int(Qt::Key_Down) << false;
        QTest::newRow("Enter on help") << int(Qt::Key_Return) << true;
    }
    void keypadKeysActAsTheirTwins() {
        QFETCH(int, twin);
        QFETCH(bool, onHelp);
        const auto after = [onHelp](std::optional<int> key, Qt::KeyboardModifiers modifiers) {
            auto played = OpenFreshWindow();
            played->NewGameOn(WithAPair());
            WalkTo(*played, {7, 7, 1});
            if (onHelp) QTest::keyClick(played.get(), Qt::Key_F1);
            if (key) {
                QueueKey(played.get(), *key, modifiers, QString());
                DeliverQueued();
            }
            const Cell at = played->cursor().at;
            return std::tuple(played->currentScreen(), at.row, at.column, played->game().score());
        };
        const int keypadKey = twin == Qt::Key_Return ? int(Qt::Key_Enter) : twin;
        QCOMPARE(after(keypadKey, Qt::KeypadModifier), after(twin, Qt::NoModifier));
        QVERIFY(after(twin, Qt::NoModifier) != after(std::nullopt, Qt::NoModifier));
    }

    // A button pressed from the keyboard opens another screen: the keys go to the window,
    // never to a hidden button or to the next one in the Tab order.
    void aNewScreenTakesTheKeysFromTheButton_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("Help") << "pctHelp";
        QTest::newRow("About") << "pctAbout";
        QTest::newRow("High Scores") << "pctHighScores";
    }
    void aNewScreenTakesTheKeysFromTheButton() {
        QFETCH(QString, button);
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            QSKIP("no keyboard focus in the test compositor");
        PictureBox* pressed = Control(*window, button);
        pressed->setFocus(Qt::TabFocusReason);
        QVERIFY(pressed->keyboardFocused());
        QWidget* heldBy = pressed;
        WhenModal([&](QWidget* modal) {
            heldBy = window->focusWidget();
            modal->close();
        });
        QTest::keyClick(pressed, Qt::Key_Space);
        if (button != QLatin1String("pctHighScores")) heldBy = window->focusWidget();
        QCOMPARE(heldBy, static_cast<QWidget*>(window.get()));
    }

    void tabReachesTheButtonsAndSpacePressesThem() {
        // The headless compositor gives a test window no keyboard focus, so no focus-in
        // reaches the buttons there; X11 and offscreen try Tab.
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            QSKIP("no keyboard focus in the test compositor");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(),
                        Qt::Key_Space);  // nothing is pressed by the focus it starts with
        QVERIFY(!window->game().gameInProgress());
        Control(*window, "pctBoard")->setFocus();
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), Control(*window, "pctNew"));
        QTest::keyClick(Control(*window, "pctNew"), Qt::Key_Space);
        QVERIFY(window->game().gameInProgress());
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), Control(*window, "pctHighScores"));
        QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), Control(*window, "pctColors", 0));
        QTest::keyClick(Control(*window, "pctColors", 0), Qt::Key_Return);
        QCOMPARE(window->game().colorCount(), int16_t(7));
        // Arrows still move the cursor, which takes the focus to the board.
        QTest::keyClick(window->focusWidget(), Qt::Key_Down);
        QVERIFY(window->cursor().visible);
        QCOMPARE(window->focusWidget(), Control(*window, "pctBoard"));
    }
};

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
