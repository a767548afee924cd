// On a screen with twice the pixel density the pictures are drawn from the 2x art, and
// clicks still land on the cells of the logical board, with and without zoom.
#include "ZoomSupport.h"

using namespace orbelix;
using namespace orbelix::testing;

class HiDpiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

  private slots:
    void initTestCase() {
        window = OpenFreshWindow();
        QCOMPARE(window->devicePixelRatio(), 2.0);
    }
    void cleanupTestCase() { window.reset(); }

    // The desktop's 2x shows the 2x art, not the 1x pictures enlarged: the grab equals
    // the 2x pictures at the places of the 1x layout, the board drawn with 2x sprites.
    void picturesAreTheTwoTimesArt() {
        Click(Control(*window, "pctNew"));
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.size(), QSize(2 * 656, 2 * 364));
        const QImage board =
            ReferenceBoard(Control(*window, "pctBoard")->size(), window->game().board(), 2);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 board);
        QCOMPARE(Mismatch(shot, {0, 0}, board.copy(0, 0, 2 * 542, 2 * 364)), QString());
        for (PictureBox* button : {Control(*window, "pctNew"), Control(*window, "pctUndo"),
                                   Control(*window, "pctAbout"), Control(*window, "pctExit")})
            QCOMPARE(Mismatch(shot, button->pos() * 2, ArtFile(button->objectName(), 2)),
                     QString());
    }

    // Zoom 2 on a 2x desktop: 4 device pixels to the logical pixel, the 2x art doubled,
    // and every device pixel of the board's top rows selecting its logical pixel's cell.
    void zoomOnTopOfTheDesktopScale() {
        QVERIFY(window->SetZoom(2, false));
        QCOMPARE(Zoom::EffectiveScale(Control(*window, "pctBoard")), 4);
        StartGameWith(*window, Checkered());
        const QImage board =
            ReferenceBoard(Control(*window, "pctBoard")->size(), window->game().board(), 4);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 board);
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.size(), QSize(4 * 656, 4 * 364));
        QCOMPARE(Mismatch(shot, Control(*window, "pctNew")->pos() * 4,
                          ArtFile(QStringLiteral("pctNew"), 4)),
                 QString());
        StartGameWith(*window, BoardGrid{});  // the tables stay; clicks find no ball to move
        QCOMPARE(CheckDevicePixelHits(*window, QRect(0, 10, 70, 40)), QString());
        QVERIFY(window->SetZoom(1, false));
    }

    void clicksHitLogicalCells() {
        BoardGrid board = Checkered();
        board(4, 6, 3) = 9;
        board(4, 6, 2) = 9;  // a front-to-back pair, clicked on the back ball's crescent
        board(8, 8, 1) = 10;
        board(9, 8, 1) = 10;  // keeps a move on the board
        StartGameWith(*window, board);
        PressOnBall(*window, 4, 6, 3);
        QCOMPARE(window->game().score(), 4);
        QCOMPARE(window->game().board()(4, 6, 3), board(4, 5, 3));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    UseLargeOffscreenScreen(4000, 2400);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    HiDpiTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_hidpi.moc"
