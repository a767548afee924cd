// The windows on a desktop: a double click acts once, and pictures and the window are
// centred by the window's outer size, frame included.
#include <QSignalSpy>

#include "TestSupport.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// A double click as the window system delivers it: press and release, then a second
// press that Qt turns into a double-click event, and a release.
void DoubleClick(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* top = widget->window();
    QTest::mouseDClick(top->windowHandle(), button, {}, widget->mapTo(top, at));
}

void DoubleClick(QWidget* widget) {
    DoubleClick(widget, QPoint(widget->width() / 2, widget->height() / 2));
}

// Column 5 of the front layer holds a pair of colour 5 under a pair of colour 6: when the
// lower pair goes, the upper one drops into its place. A third pair keeps the game going.
BoardGrid PairOverPair() {
    BoardGrid board = Checkered();
    board(9, 9, 1) = 7;
    board(9, 10, 1) = 7;
    board(5, 1, 1) = 6;
    board(5, 2, 1) = 6;
    board(5, 3, 1) = 5;
    board(5, 4, 1) = 5;
    return board;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void init() { window = OpenFreshWindow(); }
    void cleanup() {
        window.reset();
        WindowPlacement::SetAssumedFrame(std::nullopt);
    }

    // ---- Double clicks ----

    void pictureDoubleClickIsOneClick_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("clicks");
        QTest::newRow("left") << Qt::LeftButton << 1;
        QTest::newRow("right") << Qt::RightButton << 0;
        QTest::newRow("middle") << Qt::MiddleButton << 0;
    }
    void pictureDoubleClickIsOneClick() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, clicks);
        QWidget host;
        host.resize(100, 100);
        auto* box = new PictureBox(&host, QStringLiteral("box"), {10, 10, 50, 50}, true, false);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QSignalSpy click(box, &PictureBox::Click);
        QSignalSpy down(box, &PictureBox::MouseDown);
        DoubleClick(box, {25, 25}, button);
        QCOMPARE(down.count(), 1);
        QCOMPARE(click.count(), clicks);
    }

    void boardDoubleClickMakesOneMove_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
    }
    void boardDoubleClickMakesOneMove() {
        QFETCH(Qt::MouseButton, button);
        StartGameWith(*window, PairOverPair());
        DoubleClick(Control(*window, "pctBoard"), BallPoint(5, 4, 1), button);
        QCOMPARE(window->game().score(), 4);
        QCOMPARE(window->game().board()(5, 4, 1), int16_t(6));
    }

    void optionDoubleClicksStepOnce() {
        DoubleClick(Control(*window, "pctColors", 0));
        QCOMPARE(window->game().colorCount(), int16_t(7));
        DoubleClick(Control(*window, "pctSound"));
        QVERIFY(window->SoundIsOn());
    }

    // The help picture lies over the board: the second press of a double click that closes
    // it must not reach the board under it.
    void closingDoubleClickLeavesTheBoardAlone() {
        StartGameWith(*window, PairOverPair());
        Click(Control(*window, "pctHelp"));
        QVERIFY(Control(*window, "pctHelpText")->isVisible());
        const QPoint ball = BallPoint(5, 4, 1);
        QVERIFY(Control(*window, "pctHelpText")->geometry().contains(ball));
        DoubleClick(Control(*window, "pctHelpText"),
                    Control(*window, "pctHelpText")->mapFrom(window.get(), ball));
        QVERIFY(!Control(*window, "pctHelpText")->isVisible());
        QCOMPARE(window->game().score(), 0);
        QCOMPARE(window->game().board(), PairOverPair());
    }

    // ---- Placement by the outer size ----

    void picturesCentreOnTheOuterSize() {
        window.reset();
        WindowPlacement::SetAssumedFrame(QMargins(1, 20, 1, 1));  // outer size 658 x 385
        window = OpenFreshWindow();
        QCOMPARE(window->placement().outerSize(), QSize(658, 385));
        QCOMPARE(Control(*window, "pctOrbelix")->pos(), QPoint(208, 147));
        Click(Control(*window, "pctHelp"));
        QCOMPARE(Control(*window, "pctHelpText")->pos(), QPoint(183, 106));
        Click(Control(*window, "pctHelpText"));
        Click(Control(*window, "pctAbout"));
        QCOMPARE(Control(*window, "pctAboutText")->pos(), QPoint(157, 131));
        // The version row: under the picture, starting two cells left of the middle (329).
        for (int i = 0; i < 3; ++i)
            QCOMPARE(Control(*window, "pctVersion", i)->pos(), QPoint(329 - 22 * (2 - i), 254));
    }

    void windowCentresByItsOuterSize() {
        window.reset();
        WindowPlacement::SetAssumedFrame(QMargins(4, 30, 4, 4));
        window = OpenFreshWindow();
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            // The compositor places windows: the game leaves the place alone.
            const QPoint before = window->pos();
            window->placement().centreOnScreen();
            QCOMPARE(window->pos(), before);
            return;
        }
        window->placement().centreOnScreen();
        const QRect area = window->screen()->availableGeometry();
        const QRect outer(window->pos(), window->placement().outerSize());
        QCOMPARE(outer.size(), QSize(664, 398));
        QVERIFY(qAbs(outer.center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(outer.center().y() - area.center().y()) <= 1);
    }

    // A fixed-size window refuses to be maximised, whatever offers it.
    void maximisingIsRefused() {
        window->setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(!(window->windowState() & Qt::WindowMaximized));
        QCOMPARE(window->size(), QSize(656, 364));
        QCOMPARE(window->minimumSize(), window->maximumSize());
    }

    // The frame given later than expected: the title and an open screen follow it.
    void picturesFollowTheFrameWhenItArrives_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("about") << "pctAbout" << QPoint(157, 131);
        QTest::newRow("help") << "pctHelp" << QPoint(183, 106);
    }
    void picturesFollowTheFrameWhenItArrives() {
        QFETCH(QString, page);
        QFETCH(QPoint, place);
        window.reset();
        WindowPlacement::SetAssumedFrame(QMargins(2, 24, 2, 2));
        window = OpenFreshWindow();
        Click(Control(*window, page));
        WindowPlacement::SetAssumedFrame(QMargins(1, 20, 1, 1));
        QMoveEvent moved(window->pos(), window->pos());
        QApplication::sendEvent(window.get(), &moved);
        QCoreApplication::processEvents();
        QCOMPARE(Control(*window, page + QStringLiteral("Text"))->pos(), place);
        if (page == QLatin1String("pctAbout"))
            QCOMPARE(Control(*window, "pctVersion", 0)->pos(), QPoint(285, 254));
        QCOMPARE(Control(*window, "pctOrbelix")->pos(), QPoint(208, 147));
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
