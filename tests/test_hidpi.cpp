// On a screen with twice the pixel density the pictures are enlarged by whole pixels,
// never blurred, and clicks still land on the cells of the logical board.
#include "TestSupport.h"

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

    void picturesAreEnlargedByWholePixels() {
        Click(window->pctNew);
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.size(), QSize(2 * 656, 2 * 364));
        // Every 2 x 2 block of device pixels is one logical pixel: one colour, no blur.
        for (const QRect& area : {QRect(0, 0, 542, 330), QRect(542, 0, 114, 330)})
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QRgb pixel = shot.pixel(2 * x, 2 * y);
                    if (shot.pixel(2 * x + 1, 2 * y) != pixel || shot.pixel(2 * x, 2 * y + 1) != pixel ||
                        shot.pixel(2 * x + 1, 2 * y + 1) != pixel)
                        QFAIL(qPrintable(QStringLiteral("blurred at %1,%2").arg(x).arg(y)));
                }
        // And the logical pixel is the one the 1x drawing has.
        const QImage& surface = window->pctBoard->backImage();
        QCOMPARE(shot.pixel(2 * 100, 2 * 100), surface.pixel(100, 100));
    }

    void clicksHitLogicalCells() {
        BoardGrid board = Checkered();
        board(4, 6, 3) = 9;
        board(4, 6, 2) = 9;  // a front-to-back pair, clicked on the back ball's crescent
        board(8, 8, 1) = 10;
        board(9, 8, 1) = 10;  // keeps a move on the board
        StartGameWith(*window, board);
        PressOnBall(*window, 4, 6, 3);
        QCOMPARE(window->Score, 4);
        QCOMPARE(window->Board(4, 6, 3), board(4, 5, 3));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    HiDpiTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_hidpi.moc"
