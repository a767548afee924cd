// What a screen reader finds: the interfaces of the picture controls, and the changes
// the windows announce.
#include <QAccessible>
#include <QAccessibleValueInterface>
// To switch the platform's accessibility on without a screen reader, as Qt's own tests do.
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include "TestSupport.h"
#include "ui/Accessibility.h"
#include "ui/frmHighScore.h"

Q_DECLARE_METATYPE(orbelix::Cell)

using namespace orbelix;
using namespace orbelix::testing;

namespace {

struct Heard {
    QObject* object;
    QAccessible::Event type;
    int child;
    QVariant value;
};
QList<Heard> heard;

void Record(QAccessibleEvent* event) {
    QVariant value;
    if (event->type() == QAccessible::ValueChanged)
        value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
    heard.append({event->object(), event->type(), event->child(), value});
}

bool WasAnnounced(QObject* object, QAccessible::Event type) {
    for (const Heard& h : heard)
        if (h.object == object && h.type == type) return true;
    return false;
}

QAccessibleInterface* Of(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// A checkered board with two pairs, the last moves of a game.
BoardGrid WithPairs() {
    BoardGrid board = Checkered();
    board(1, 1, 1) = board(1, 2, 1) = 5;
    board(9, 9, 1) = board(9, 10, 1) = 6;
    return board;
}

}  // namespace

class AccessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void initTestCase() {
        QAccessible::installUpdateHandler(Record);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QVERIFY(QAccessible::isActive());
    }
    void init() {
        window = OpenFreshWindow();
        heard.clear();
    }
    void cleanup() { window.reset(); }

    void buttonsAreButtonsThatPress_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        for (const char* pair :
             {"pctNew|New game", "pctHighScores|High scores", "pctColors_0|Colour count: 6 colours",
              "pctSound|Sound off", "pctUndo|Undo", "pctHelp|Help", "pctAbout|About",
              "pctExit|Exit"}) {
            const QStringList parts = QString::fromLatin1(pair).split(QLatin1Char('|'));
            QTest::newRow(pair) << parts[0] << parts[1];
        }
    }
    void buttonsAreButtonsThatPress() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        auto* box = window->findChild<PictureBox*>(control);
        QVERIFY(box != nullptr);
        QAccessibleInterface* iface = Of(box);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QVERIFY(iface->state().focusable);
        QAccessibleActionInterface* actions = iface->actionInterface();
        QVERIFY(actions != nullptr);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }

    void pressActionActsAsAClick() {
        QAccessibleInterface* newGame = Of(Control(*window, "pctNew"));
        newGame->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(window->game().gameInProgress());
        Of(Control(*window, "pctSound"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(window->SoundIsOn());
        QCOMPARE(Of(Control(*window, "pctSound"))->text(QAccessible::Name),
                 QStringLiteral("Sound on"));
        // A button that is not on screen cannot be pressed.
        window->HideMainScreen();
        Of(Control(*window, "pctSound"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(window->SoundIsOn());
    }

    void tabOrderRunsDownTheButtonColumn() {
        QList<QWidget*> order;
        QWidget* w = Control(*window, "pctBoard");
        for (int i = 0; i < 9; ++i, w = w->nextInFocusChain()) {
            while (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) w = w->nextInFocusChain();
            order.append(w);
        }
        const QList<QWidget*> expected = {
            Control(*window, "pctBoard"),      Control(*window, "pctNew"),
            Control(*window, "pctHighScores"), Control(*window, "pctColors", 0),
            Control(*window, "pctSound"),      Control(*window, "pctUndo"),
            Control(*window, "pctHelp"),       Control(*window, "pctAbout"),
            Control(*window, "pctExit")};
        QCOMPARE(order, expected);
    }

    void scoreIsANumberAndItsChangesAreAnnounced() {
        QAccessibleInterface* score = Of(Control(*window, "imgScore", 0));
        QCOMPARE(score->role(), QAccessible::StaticText);
        QCOMPARE(score->text(QAccessible::Name), QStringLiteral("Score"));
        for (int i = 1; i < 6; ++i) QVERIFY(Of(Control(*window, "imgScore", i))->state().invisible);
        BoardGrid board = Checkered();
        board(4, 4, 1) = 5;
        board(4, 5, 1) = 5;
        board(4, 6, 1) = 5;
        StartGameWith(*window, board);
        heard.clear();
        PressOnBall(*window, 4, 5, 1);
        QCOMPARE(window->game().score(), 6);
        QCOMPARE(score->valueInterface()->currentValue().toInt(), 6);
        QCOMPARE(score->text(QAccessible::Value), QStringLiteral("6"));
        bool announced = false;
        for (const Heard& h : heard)
            announced |= h.object == Control(*window, "imgScore", 0) &&
                         h.type == QAccessible::ValueChanged && h.value == 6;
        QVERIFY(announced);
    }

    void describeCell_data() {
        QTest::addColumn<Cell>("cell");
        QTest::addColumn<QString>("text");
        QTest::newRow("lone ball")
            << Cell{1, 1, 1} << "Row 1, column 1, front: pale cyan, group of 1, 0 points";
        QTest::newRow("group over two layers")
            << Cell{3, 2, 2} << "Row 3, column 2, middle: red, group of 3, 6 points";
        QTest::newRow("back of the same group")
            << Cell{3, 2, 3} << "Row 3, column 2, back: red, group of 3, 6 points";
        QTest::newRow("empty cell") << Cell{10, 10, 3} << "Row 10, column 10, back: empty";
    }
    void describeCell() {
        QFETCH(Cell, cell);
        QFETCH(QString, text);
        BoardGrid board = Checkered();
        board(2, 3, 2) = 5;
        board(2, 3, 3) = 5;
        board(2, 4, 3) = 5;
        board(10, 10, 3) = 0;
        QCOMPARE(DescribeCell(board, cell), text);
    }

    void boardIsFocusableAndAnnouncesTheCursorCell() {
        QAccessibleInterface* board = Of(Control(*window, "pctBoard"));
        QCOMPARE(board->role(), QAccessible::Canvas);
        QVERIFY(board->state().focusable);
        QCOMPARE(board->text(QAccessible::Name), QStringLiteral("Board"));
        StartGameWith(*window, Checkered());
        heard.clear();
        QTest::keyClick(window.get(), Qt::Key_Down);
        QTest::keyClick(window.get(), Qt::Key_Down);
        QCOMPARE(board->text(QAccessible::Name),
                 QStringLiteral("Board: Row 2, column 1, front: yellow, group of 1, 0 points"));
        // A screen reader is told of a new focused part of the board for each move.
        QVERIFY(WasAnnounced(Control(*window, "pctBoard"), QAccessible::Focus));
        QCOMPARE(board->focusChild()->text(QAccessible::Name),
                 QStringLiteral("Row 2, column 1, front: yellow, group of 1, 0 points"));
        // Tab to a button and back: the cell under the cursor is said again, as a new part
        // (a screen reader says nothing when the part it left takes the focus back).
        QAccessibleInterface* said = board->focusChild();
        QTest::keyClick(window.get(), Qt::Key_Tab);
        QVERIFY(!Control(*window, "pctBoard")->hasFocus());
        QTest::qWait(20);  // a player's pause between the keys
        QTest::keyClick(window.get(), Qt::Key_Backtab);
        QTRY_VERIFY(board->focusChild() != said);
        QCOMPARE(board->focusChild()->text(QAccessible::Name), said->text(QAccessible::Name));
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(600, 345));
        QCOMPARE(board->text(QAccessible::Name), QStringLiteral("Board"));
    }

    // A move by mouse, and the end of a game, are said once each, as a message of the board
    // (by keys, with the cursor's cell: see the run under Orca).
    void movesAreSaid() {
        QAccessibleInterface* board = Of(Control(*window, "pctBoard"));
        StartGameWith(*window, WithPairs());
        PressOnBall(*window, 9, 10, 1);
        QVERIFY(WasAnnounced(Control(*window, "pctBoard"), QAccessible::ObjectShow));
        QCOMPARE(board->child(1)->role(), QAccessible::Notification);
        QCOMPARE(board->child(1)->text(QAccessible::Name),
                 QStringLiteral("2 balls removed, score 4"));
        WhenModal([](QWidget* modal) { modal->close(); });
        PressOnBall(*window, 1, 2, 1);
        QCOMPARE(board->child(1)->text(QAccessible::Name),
                 QStringLiteral("2 balls removed, score 8. Game over: no two balls of one "
                                "colour touch within a layer. 296 balls left"));
    }

    // Every change of state is said: the switches, the options, a page that opens (with
    // the main screen's keys), a key that makes no move, the start and a finished board.
    void everyChangeIsSaid_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("said");
        QTest::newRow("symbols") << "S" << "Symbols on";
        QTest::newRow("symbols off") << "S S" << "Symbols off";
        QTest::newRow("guide") << "G" << "Guide on";
        QTest::newRow("colours") << "pctColors_0" << "7 colours for the next game";
        QTest::newRow("sound") << "pctSound" << "Sound on";
        QTest::newRow("help") << "F1" << "Click on identical adjacent pieces";
        QTest::newRow("help's keys") << "F1" << "Keys of the main screen: Control N new game";
        QTest::newRow("about") << "pctAbout" << "Orbelix by Orbelix developers";
        QTest::newRow("a lone ball") << "Right Right Return" << "No move. Row 1, column 2";
        QTest::newRow("the start") << "activate" << "Orbelix. Control N or the New button";
        QTest::newRow("a finished board") << "end Return" << "Game over. Control N";
        QTest::newRow("reading it") << "end Down" << "Row 1, column 1, front";
    }
    void everyChangeIsSaid() {
        QFETCH(QString, steps);
        QFETCH(QString, said);
        if (steps != QLatin1String("activate")) StartGameWith(*window, WithPairs());
        const QMap<QString, int> keys{{"S", Qt::Key_S},         {"G", Qt::Key_G},
                                      {"F1", Qt::Key_F1},       {"Right", Qt::Key_Right},
                                      {"Down", Qt::Key_Down},   {"Return", Qt::Key_Return}};
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (keys.contains(step)) {
                QTest::keyClick(window.get(), static_cast<Qt::Key>(keys[step]));
            } else if (step == QLatin1String("activate")) {
                window->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(window.get()));
            } else if (step == QLatin1String("end")) {
                WhenModal([](QWidget* modal) { modal->close(); });
                PressOnBall(*window, 9, 10, 1);
                PressOnBall(*window, 1, 2, 1);
                QVERIFY(!window->game().gameInProgress());
            } else {
                QTest::mouseClick(Control(*window, step), Qt::LeftButton);
            }
        }
        QAccessibleInterface* board = Of(Control(*window, "pctBoard"));
        const auto words = [board](int slot) {
            QAccessibleInterface* part = board->child(slot);
            return part != nullptr ? part->text(QAccessible::Name) : QString();
        };
        QTRY_VERIFY2(words(0).contains(said) || words(1).contains(said),
                     qPrintable(words(0) + QStringLiteral(" | ") + words(1)));
    }

    void labelsSayTheirWords() {
        QCOMPARE(Of(Control(*window, "pctOrbelix"))->role(), QAccessible::StaticText);
        QCOMPARE(Of(Control(*window, "pctOrbelix"))->text(QAccessible::Name),
                 QStringLiteral("Orbelix"));
        QCOMPARE(Of(Control(*window, "pctGameOver"))->text(QAccessible::Name),
                 QStringLiteral("Game Over!"));
    }

    void highScoreWindowHasATitleAndReadableRows() {
        window->table().setRow(1, QStringLiteral("ANN"), 560);
        window->table().setRow(2, QString(), 500);
        // A game that ends on 520 takes row 2, which awaits its name.
        BoardGrid pair;
        pair(1, 10, 1) = pair(1, 9, 1) = 1;
        StartGameWith(*window, pair, 516);
        bool checked = false;
        WhenModal([&](QWidget* modal) {
            auto* table = qobject_cast<frmHighScore*>(modal);
            QAccessibleInterface* window = Of(table);
            QCOMPARE(window->text(QAccessible::Name), QStringLiteral("High Scores"));
            QCOMPARE(table->windowTitle(), QStringLiteral("High Scores"));
            QAccessibleInterface* list = Of(Control(*table, "pctHighScore"));
            QCOMPARE(list->role(), QAccessible::List);
            QCOMPARE(list->childCount(), 10);
            QCOMPARE(list->child(0)->role(), QAccessible::ListItem);
            QCOMPARE(list->child(0)->text(QAccessible::Name), QStringLiteral("1. ANN 560"));
            QCOMPARE(list->child(1)->text(QAccessible::Name), QStringLiteral("2. (no name) 520"));
            QCOMPARE(list->child(2)->text(QAccessible::Name), QStringLiteral("3. (no name) 500"));
            QCOMPARE(list->indexOfChild(list->child(9)), 9);
            QCOMPARE(list->child(1)->parent(), list);
            QTest::keyClicks(table, QStringLiteral("bo"));
            QCOMPARE(list->child(1)->text(QAccessible::Name), QStringLiteral("2. BO 520"));
            QCOMPARE(Of(Control(*table, "pctOk"))->role(), QAccessible::Button);
            QTest::keyClick(table, Qt::Key_Return);
            QTest::keyClick(table, Qt::Key_Escape);
            checked = true;
        });
        PressOnBall(*window, 1, 10, 1);
        QVERIFY(checked);
    }

    // The row a screen reader finds focused in the table: at first the one awaiting the
    // name (row 2 here), then as the arrows and the letters typed take it.
    void theTableIsReadRowByRow_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("row");
        QTest::newRow("the row awaiting the name") << "" << 2;
        QTest::newRow("a letter reads its row") << "Up Up B" << 2;
        QTest::newRow("then Down reads on from it") << "Up B Down" << 3;
        QTest::newRow("down to row 10, no further") << QString("Down ").repeated(11) << 10;
    }
    void theTableIsReadRowByRow() {
        QFETCH(QString, keys);
        QFETCH(int, row);
        window->table().setRow(1, QStringLiteral("ANN"), 560);
        WhenModal([&](QWidget* modal) {
            QAccessibleInterface* list = Of(Control(*modal, "pctHighScore"));
            for (const QString& key : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                QTest::keyClick(modal, QKeySequence::fromString(key)[0].key());
            QTRY_COMPARE(list->indexOfChild(list->focusChild()), row - 1);
            modal->close();
        });
        FinishGameWith(*window, 520);
    }
};

QTEST_MAIN(AccessTest)
#include "test_access.moc"
