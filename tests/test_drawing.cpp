// Pixel checks of the pictures and of the board as it is drawn on the playing surface.
#include "TestSupport.h"
#include "ui/Pictures.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

// What the AND-then-XOR sprite drawing must produce, computed pixel by pixel.
QImage ReferenceDrawing(QImage surface, const BoardGrid& board, const BallSprites& sprites) {
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const QImage sprite =
                    sprites[board(c, r, l)].toImage().convertToFormat(QImage::Format_RGB32);
                const QPoint at = BallPlacement(c, r, l);
                for (int y = 0; y < BallSize; ++y)
                    for (int x = 0; x < BallSize; ++x) {
                        const QRgb mask = sprite.pixel(x + BallSize, y);
                        const QRgb ball = sprite.pixel(x, y);
                        const QRgb under = surface.pixel(at.x() + x, at.y() + y);
                        surface.setPixel(at.x() + x, at.y() + y,
                                         ((under & mask) ^ ball) | 0xFF000000u);
                    }
            }
    return surface;
}

}  // namespace

class DrawingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

    BallSprites Sprites() const {
        BallSprites sprites;
        for (int i = 0; i <= MaxColors; ++i) sprites[i] = Control(*window, "pctBall", i)->picture();
        return sprites;
    }
    QRgb SpritePixel(int code, int x, int y) const {
        return Control(*window, "pctBall", code)->picture().toImage().pixel(x, y) | 0xFF000000u;
    }

  private slots:
    void initTestCase() { window = OpenFreshWindow(); }
    void cleanupTestCase() { window.reset(); }

    void pictureSizes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        for (int i = 0; i <= 13; ++i)
            QTest::newRow(qPrintable(QStringLiteral("pctBall_%1").arg(i)))
                << QStringLiteral("pctBall_%1").arg(i) << QSize(50, 25);
        for (int i = 0; i <= 10; ++i)
            QTest::newRow(qPrintable(QStringLiteral("imgDigit_%1").arg(i)))
                << QStringLiteral("imgDigit_%1").arg(i) << QSize(22, 28);
        for (int i = 0; i <= 26; ++i)
            QTest::newRow(qPrintable(QStringLiteral("pctAlphabet_%1").arg(i)))
                << QStringLiteral("pctAlphabet_%1").arg(i) << QSize(22, 28);
        for (int i = 1; i <= 8; ++i)
            QTest::newRow(qPrintable(QStringLiteral("pctColors_%1").arg(i)))
                << QStringLiteral("pctColors_%1").arg(i) << QSize(111, 25);
        const QList<QPair<const char*, QSize>> single = {
            {"pctOrbelix", {241, 90}},    {"pctGameOver", {149, 34}}, {"pctNew", {48, 24}},
            {"pctHighScores", {68, 49}},  {"pctHelp", {44, 26}},      {"pctUndo", {66, 20}},
            {"pctAbout", {66, 20}},       {"pctExit", {48, 25}},      {"pctSoundOn", {111, 25}},
            {"pctSoundOff", {111, 25}},   {"pctBlank", {32, 32}},     {"pctHelpText", {292, 172}},
            {"pctAboutText", {343, 123}}, {"pctReset", {75, 24}},     {"pctOk", {47, 29}}};
        for (const auto& [name, size] : single)
            QTest::newRow(name) << QString::fromLatin1(name) << size;
    }
    void pictureSizes() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QCOMPARE(LoadPicture(name).size(), size);
    }

    // The game's own decoder gives every picture as Qt's reader does, format and pixels.
    void ownDecoderMatchesQt() {
        int pictures = 0;
        for (QDirIterator it(QStringLiteral(":/assets"), {QStringLiteral("*.png")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext(); ++pictures) {
            const QString file = it.next();
            const QImage own = DecodeOwnPng(file), qt(file);
            QVERIFY2(!own.isNull() && own.format() == qt.format() && own == qt, qPrintable(file));
        }
        QVERIFY(pictures > 300);
        QVERIFY(DecodeOwnPng(QStringLiteral(":/assets/Bleep.wav")).isNull());
    }

    void spritesHaveHardEdges() {
        for (int i = 0; i <= MaxColors; ++i) {
            const QImage sprite = LoadPicture(QStringLiteral("pctBall_%1").arg(i))
                                      .toImage()
                                      .convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < BallSize; ++y)
                for (int x = 0; x < BallSize; ++x) {
                    const QRgb mask = sprite.pixel(x + BallSize, y) & 0xFFFFFF;
                    QVERIFY(mask == 0 || mask == 0xFFFFFF);
                    // Outside the disc the ball half is black, so XOR leaves the surface alone.
                    if (mask == 0xFFFFFF) QCOMPARE(sprite.pixel(x, y) & 0xFFFFFF, 0u);
                }
        }
    }

    void emptyBoardDrawsThreeHundredGreyBalls() {
        StartGameWith(*window, BoardGrid{});
        window->DrawBoard();
        const QImage& drawn = Control(*window, "pctBoard")->backImage();
        QImage blank(drawn.size(), QImage::Format_RGB32);
        blank.fill(Control(*window, "pctBoard")->backColor());
        QCOMPARE(drawn, ReferenceDrawing(blank, BoardGrid{}, Sprites()));
        // Every front ball's middle shows the grey ball.
        for (int c = 1; c <= Columns; ++c)
            for (int r = 1; r <= Rows; ++r)
                QCOMPARE(drawn.pixel(BallPlacement(c, r, 1) + QPoint(12, 12)),
                         SpritePixel(0, 12, 12));
    }

    void fullBoardMatchesTheAndXorReference() {
        UniformRandom random;
        random.seed(7);
        BoardGrid board;
        FillRandom(board, 13, random);
        board(4, 4, 2) = 0;
        StartGameWith(*window, board);
        window->DrawBoard();
        QImage blank(Control(*window, "pctBoard")->backImage().size(), QImage::Format_RGB32);
        blank.fill(Control(*window, "pctBoard")->backColor());
        QCOMPARE(Control(*window, "pctBoard")->backImage(),
                 ReferenceDrawing(blank, board, Sprites()));
    }

    void emptyFrontLayerShowsGreyBallBeforeTheOthers() {
        BoardGrid board;
        board(5, 5, 1) = 0;
        board(5, 5, 2) = 3;
        board(5, 5, 3) = 5;
        StartGameWith(*window, board);
        window->DrawBoard();
        const QImage& drawn = Control(*window, "pctBoard")->backImage();
        const QPoint front = BallPlacement(5, 5, 1);
        QCOMPARE(drawn.pixel(front + QPoint(12, 12)), SpritePixel(0, 12, 12));
        // The middle ball shows in its crescent right of the front ball, the back ball right of
        // that.
        QCOMPARE(drawn.pixel(BallPlacement(5, 5, 2) + QPoint(20, 12)), SpritePixel(3, 20, 12));
        QCOMPARE(drawn.pixel(BallPlacement(5, 5, 3) + QPoint(20, 12)), SpritePixel(5, 20, 12));
    }

    void lastStackIsNotClipped() {
        BoardGrid board;
        for (int l = 1; l <= Layers; ++l) board(10, 10, l) = 4;
        StartGameWith(*window, board);
        window->DrawBoard();
        const QImage& drawn = Control(*window, "pctBoard")->backImage();
        QVERIFY(drawn.width() > 501 && drawn.height() > 319);
        // The back ball's rightmost disc pixel and the front ball's lowest one are drawn.
        QCOMPARE(drawn.pixel(501, BallPlacement(10, 10, 3).y() + 12), SpritePixel(4, 24, 12));
        QCOMPARE(drawn.pixel(BallPlacement(10, 10, 1).x() + 12, 319), SpritePixel(4, 12, 24));
    }

    void boardReachesTheScreen() {
        BoardGrid board;
        board(1, 1, 1) = 5;
        StartGameWith(*window, board);
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.pixel(BallPlacement(1, 1, 1) + QPoint(12, 12)), SpritePixel(5, 12, 12));
    }

    void scoreDigitsShowOnScreen() {
        StartGameWith(*window, BoardGrid{}, 1520);
        // The grab comes in the window system's format (with alpha under Wayland).
        const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int lefts[6] = {626, 604, 584, 562, 540, 518};
        const int digits[6] = {0, 2, 5, 1, 0, 0};  // element 0 is the units
        // Element 5 lies under the playing surface; the others show their digits.
        for (int i = 0; i < 5; ++i) {
            const QImage digit = Control(*window, "imgDigit", digits[i])
                                     ->picture()
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            const int visibleFrom = i == 4 ? 2 : 0;
            QCOMPARE(shot.copy(lefts[i] + visibleFrom, 4, 20 - visibleFrom, 28),
                     digit.copy(visibleFrom, 0, 20 - visibleFrom, 28));
        }
    }
};

QTEST_MAIN(DrawingTest)
#include "test_drawing.moc"
