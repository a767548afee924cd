// The game zoomed (1x to 4x on top of the desktop's scale) and drawn at device
// resolution: pictures from the art made for the scale, AND/XOR drawing at that
// resolution, clicks mapped back to logical pixels, and the zoom changed at any moment.
#include "ZoomSupport.h"
#include "ui/Pictures.h"
#include "ui/frmHighScore.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

constexpr int ScreenWidth = 3000;
constexpr int ScreenHeight = 1400;

BoardGrid PairBoard() {
    BoardGrid board = Checkered();
    board(4, 6, 3) = 9;
    board(4, 6, 2) = 9;
    board(8, 8, 1) = 10;
    board(9, 8, 1) = 10;  // keeps a move on the board
    return board;
}

}  // namespace

class ZoomTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;

    void zoomTo(int zoom) {
        QVERIFY(window->SetZoom(zoom, true));
        QCOMPARE(Zoom::Factor(), zoom);
    }

  private slots:
    void init() {
        Zoom::SetFactor(1);
        window = OpenFreshWindow();
    }
    void cleanup() {
        window.reset();
        Zoom::SetFactor(1);
    }

    // Each picture's 2x and 3x art has exactly that size, is drawn at that size rather
    // than enlarged, and every ball keeps one hard-edged disc for mask and ball.
    void artAtEveryScale_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"pctNew", "pctOrbelix", "pctHelpText", "imgDigit_8",
                                 "pctAlphabet_17", "pctBall_0", "pctBall_5", "pctBall_13"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void artAtEveryScale() {
        QFETCH(QString, name);
        const QImage one = ArtFile(name, 1);
        for (int scale : {2, 3}) {
            QImage art(QStringLiteral(":/assets/%1@%2x.png").arg(name).arg(scale));
            art.setDevicePixelRatio(1);
            QCOMPARE(art.size(), one.size() * scale);
            // Not the 1x picture enlarged: some block of scale x scale pixels is not one colour.
            const QImage enlarged =
                ArtFile(name, 1).scaled(art.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
            QVERIFY2(art.convertToFormat(QImage::Format_RGB32) != enlarged,
                     "the art is the 1x picture enlarged");
            const QPixmap shown = PictureAtScale(LoadPicture(name), scale);
            QCOMPARE(shown.devicePixelRatio(), double(scale));
            QCOMPARE(shown.deviceIndependentSize(), QSizeF(one.size()));
            if (!name.startsWith(QLatin1String("pctBall"))) continue;
            const QImage sprite = art.convertToFormat(QImage::Format_RGB32);
            const int side = 25 * scale;
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x) {
                    const QRgb mask = sprite.pixel(x + side, y) & 0xFFFFFF;
                    const QRgb ball = sprite.pixel(x, y) & 0xFFFFFF;
                    QVERIFY(mask == 0 || mask == 0xFFFFFF);
                    if ((mask == 0) == (ball == 0))
                        QFAIL(qPrintable(QStringLiteral("%1@%2x: mask and ball disagree at %3,%4")
                                             .arg(name)
                                             .arg(scale)
                                             .arg(x)
                                             .arg(y)));
                }
        }
    }

    void effectiveScaleArt_data() {
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("art");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("2") << 2 << 2;
        QTest::newRow("3") << 3 << 3;
        QTest::newRow("4") << 4 << 2;
        QTest::newRow("5") << 5 << 1;
        QTest::newRow("6") << 6 << 3;
        QTest::newRow("8") << 8 << 2;
    }
    void effectiveScaleArt() {
        QFETCH(int, scale);
        QFETCH(int, art);
        QCOMPARE(ArtScaleFor(scale), art);
        const QImage shown =
            PictureAtScale(LoadPicture(QStringLiteral("pctBall_3")), scale).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 ArtFile(QStringLiteral("pctBall_3"), scale));
    }

    // The window grab at scale s is the s-scaled art at the places of the 1x layout.
    void windowAtScale_data() {
        QTest::addColumn<int>("zoom");
        QTest::newRow("zoom 2") << 2;
        QTest::newRow("zoom 3") << 3;
    }
    void windowAtScale() {
        QFETCH(int, zoom);
        zoomTo(zoom);
        QCOMPARE(window->size(), QSize(656, 364) * zoom);
        const BoardGrid board = PairBoard();
        StartGameWith(*window, board, 1520);
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.size(), QSize(656, 364) * zoom);
        QCOMPARE(Control(*window, "pctBoard")->backImage().devicePixelRatio(), double(zoom));
        const QImage expected = ReferenceBoard(Control(*window, "pctBoard")->size(), board, zoom);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 expected);
        QCOMPARE(Mismatch(shot, {0, 0}, expected.copy(0, 0, 542 * zoom, 364 * zoom)), QString());
        // Score digits 1520 in the places at 562, 584, 604 and 626; the tens digit at 604
        // lies under the hundreds digit's last 2 pixels.
        const int digits[4] = {1, 5, 2, 0};
        const int scoreLefts[4] = {562, 584, 604, 626};
        for (int i = 0; i < 4; ++i) {
            const int hidden = i == 2 ? 2 * zoom : 0;
            const QImage digit = ArtFile(QStringLiteral("imgDigit_%1").arg(digits[i]), zoom);
            QCOMPARE(Mismatch(shot, QPoint(scoreLefts[i] * zoom + hidden, 4 * zoom),
                              digit.copy(hidden, 0, digit.width() - hidden, digit.height())),
                     QString());
        }
        for (PictureBox* button : {Control(*window, "pctNew"), Control(*window, "pctUndo"),
                                   Control(*window, "pctHelp"), Control(*window, "pctExit")})
            QCOMPARE(Mismatch(shot, button->pos() * zoom, ArtFile(button->objectName(), zoom)),
                     QString());
    }

    // Every device pixel of the top rows' bands reaches the game as its logical pixel.
    void devicePixelsHitTheirLogicalCell_data() { windowAtScale_data(); }
    void devicePixelsHitTheirLogicalCell() {
        QFETCH(int, zoom);
        zoomTo(zoom);
        Click(Control(*window, "pctNew"));
        StartGameWith(*window, BoardGrid{});  // the tables stay; clicks find no ball to move
        QCOMPARE(CheckDevicePixelHits(*window, QRect(0, 10, 112, 45)), QString());
    }

    // A real click on the last device pixel of a back ball's crescent takes that ball.
    void clickOnCrescentEdgeAtZoom() {
        zoomTo(3);
        const BoardGrid board = PairBoard();
        StartGameWith(*window, board);
        const QPoint at = BallPlacement(4, 6, 3);
        PressDevicePixel(Control(*window, "pctBoard"),
                         QPoint((at.x() + 24) * 3 + 2, (at.y() + 12) * 3 + 2));
        QCOMPARE(window->game().score(), 4);
        QCOMPARE(window->game().board()(4, 6, 3), board(4, 5, 3));
    }

    // A surface drawn again at a new zoom shows what the same drawing shows when made at
    // that zoom: what a later picture or sprite leaves of an earlier one stays.
    void surfaceRedrawnAtANewZoom_data() {
        QTest::addColumn<QString>("steps");
        QTest::newRow("a picture partly covered") << "pctOk@10,10 pctReset@30,20";
        QTest::newRow("a picture wholly covered") << "pctOk@30,20 pctNew@35,22 pctReset@20,15";
        QTest::newRow("sprites partly covered")
            << "pctBall_3@10,10 pctBall_5@22,5 pctBall_9@16,18 pctBall_3@10,10";
        QTest::newRow("a picture over sprites") << "pctBall_3@10,10 pctBall_5@22,5 pctOk@25,20";
        QTest::newRow("pictures cut off by the edges") << "pctReset@150,80 pctOk@-10,-10";
    }
    void surfaceRedrawnAtANewZoom() {
        QFETCH(QString, steps);
        const auto drawn = [&steps](const QString& name) {
            auto* surface = new PictureBox(nullptr, name, {0, 0, 200, 100}, false, false);
            surface->makeSurface(Qt::darkBlue);
            for (const QString& step : steps.split(QLatin1Char(' '))) {
                const QStringList part = step.split(QRegularExpression(QStringLiteral("[@,]")));
                const QPoint at(part[1].toInt(), part[2].toInt());
                if (part[0].startsWith(QLatin1String("pctBall")))
                    surface->drawSprites({{at, LoadPicture(part[0])}});
                else
                    surface->copyPicture(at, LoadPicture(part[0]));
            }
            return std::unique_ptr<PictureBox>(surface);
        };
        const auto redrawn = drawn(QStringLiteral("redrawn"));
        zoomTo(2);
        redrawn->applyZoom();
        QCOMPARE(redrawn->backImage(), drawn(QStringLiteral("drawn at zoom 2"))->backImage());
    }

    // Zooming in the middle of a game keeps board, score and undo, and shows them anew.
    void zoomDuringAGame() {
        const BoardGrid board = PairBoard();
        StartGameWith(*window, board);
        PressOnBall(*window, 4, 6, 3);
        QCOMPARE(window->game().score(), 4);
        const BoardGrid after = window->game().board();
        const qint64 units = Control(*window, "imgScore", 0)->picture().cacheKey();
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 2);
        QCOMPARE(window->storedZoom(), int16_t(2));
        QCOMPARE(window->game().board(), after);
        QCOMPARE(window->game().score(), 4);
        QCOMPARE(Control(*window, "imgScore", 0)->picture().cacheKey(), units);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 ReferenceBoard(Control(*window, "pctBoard")->size(), after, 2));
        // Centred on the screen at its new size, by the frame the game places itself with
        // (the frame does not grow with the zoom).
        const QSize outer = window->size().grownBy(window->placement().frameMargins());
        QCOMPARE(outer - window->size(), window->placement().outerSize() - QSize(656, 364));
        QCOMPARE(window->pos(),
                 QPoint((ScreenWidth - outer.width()) / 2, (ScreenHeight - outer.height()) / 2));
        Click(Control(*window, "pctUndo"));
        QCOMPARE(window->game().board(), board);
        QCOMPARE(window->game().score(), 0);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 ReferenceBoard(Control(*window, "pctBoard")->size(), board, 2));
        QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 1);
        QCOMPARE(Control(*window, "pctBoard")->backImage().convertToFormat(QImage::Format_RGB32),
                 ReferenceBoard(Control(*window, "pctBoard")->size(), board, 1));
    }

    void zoomOnTheHelpScreen() {
        Click(Control(*window, "pctHelp"));
        const QRect place = Control(*window, "pctHelpText")->geometry();
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 3);
        QVERIFY(Control(*window, "pctHelpText")->isVisible());
        QCOMPARE(Control(*window, "pctHelpText")->geometry(), place);
        const QImage shot = window->grab().toImage();
        QCOMPARE(Mismatch(shot, place.topLeft() * 3, ArtFile(QStringLiteral("pctHelpText"), 3)),
                 QString());
        Click(Control(*window, "pctHelpText"));
        QVERIFY(!Control(*window, "pctHelpText")->isVisible());
        QVERIFY(Control(*window, "pctNew")->isVisible());
        QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 1);
    }

    // Typing a name, zooming, typing on: the name, the cursor and the cells are kept.
    void zoomDuringNameEntry() {
        window->table().setRow(1, QStringLiteral("ZED"), 900);
        window->table().setRow(2, QString(), 500);
        window->table().setNewEntryRow(2);
        frmHighScore entry(window.get(), window->table());
        QObject::connect(&entry, &frmHighScore::ZoomKey, window.get(),
                         [this](int step) { window->placement().zoomBy(step); });
        entry.show();
        QVERIFY(QTest::qWaitForWindowExposed(&entry));
        QTest::keyClick(&entry, 'A');
        QTest::keyClick(&entry, 'B');
        QTest::keyClick(&entry, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 2);
        QCOMPARE(entry.size(), QSize(609, 337) * 2);
        const QRect outer = window->frameGeometry();
        QCOMPARE(entry.pos(), QPoint(outer.x() + (outer.width() - entry.width()) / 2,
                                     outer.y() + (outer.height() - entry.height()) / 2));
        QVERIFY(entry.editing());
        const QImage surface =
            Control(entry, "pctHighScore")->backImage().convertToFormat(QImage::Format_RGB32);
        // Rows 510 twips apart from 60; name cells 330 twips apart from 2190, and the score's
        // digits after the eight name cells and a gap of 800.
        const auto cell = [](int row, int position) {
            return QPoint(TwipsToPixels(2190 + 330 * (position - 1)),
                          TwipsToPixels(60 + 510 * (row - 1))) *
                   2;
        };
        const auto digitCell = [](int row, int digit) {
            return QPoint(TwipsToPixels(2190 + 330 * 8 + 800 + 330 * (digit - 1)),
                          TwipsToPixels(60 + 510 * (row - 1))) *
                   2;
        };
        QCOMPARE(Mismatch(surface, cell(1, 1), ArtFile(QStringLiteral("pctAlphabet_26"), 2)),
                 QString());
        QCOMPARE(Mismatch(surface, cell(2, 1), ArtFile(QStringLiteral("pctAlphabet_1"), 2)),
                 QString());
        QCOMPARE(Mismatch(surface, cell(2, 2), ArtFile(QStringLiteral("pctAlphabet_2"), 2)),
                 QString());
        QCOMPARE(Mismatch(surface, cell(2, 3), ArtFile(QStringLiteral("pctAlphabet_0"), 2)),
                 QString());
        QCOMPARE(Mismatch(surface, digitCell(1, 4), ArtFile(QStringLiteral("imgDigit_9"), 2)),
                 QString());
        const QImage shot = entry.grab().toImage();
        QCOMPARE(
            Mismatch(shot, Control(entry, "pctOk")->pos() * 2, ArtFile(QStringLiteral("pctOk"), 2)),
            QString());
        QTest::keyClick(&entry, 'C');
        QTest::keyClick(&entry, Qt::Key_Return);
        QCOMPARE(window->table().name(2), QStringLiteral("ABC"));
        QCOMPARE(window->table().newEntryRow(), int16_t(0));
        QCOMPARE(
            Mismatch(
                Control(entry, "pctHighScore")->backImage().convertToFormat(QImage::Format_RGB32),
                cell(2, 3), ArtFile(QStringLiteral("pctAlphabet_3"), 2)),
            QString());
    }

    // A zoom whose window would not fit on the screen is refused and changes nothing.
    void zoomThatDoesNotFitIsRefused() {
        zoomTo(3);
        QVERIFY(!window->placement().zoomFits(4));
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(Zoom::Factor(), 3);
        QCOMPARE(window->storedZoom(), int16_t(3));
        QCOMPARE(window->size(), QSize(656, 364) * 3);
        QVERIFY(!window->SetZoom(4, true));
        QVERIFY(!window->SetZoom(0, true));
        QCOMPARE(Zoom::Factor(), 3);
    }

    // The zoom is kept in the settings and used at the next start, as far as the screen
    // allows; a zoom for one run leaves the kept one alone.
    void zoomIsKeptInTheSettings() {
        zoomTo(2);
        window->SaveSettings();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Zoom")), QStringLiteral("2"));
        QVERIFY(window->SetZoom(3, false));
        window->SaveSettings();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Zoom")), QStringLiteral("2"));
        window.reset();
        Zoom::SetFactor(1);
        frmMain again;
        QCOMPARE(Zoom::Factor(), 2);
        QCOMPARE(again.size(), QSize(656, 364) * 2);
        QCOMPARE(Control(again, "pctNew")->geometry(), QRect(598, 72, 48, 24));
        QCOMPARE(Control(again, "pctNew")->QWidget::geometry(),
                 QRect(598 * 2, 72 * 2, 48 * 2, 24 * 2));
        again.placement().zoomBy(0);
        again.SaveSettings();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Zoom")), QStringLiteral("1"));
        // A kept 4 that this screen cannot take: the game starts at 3 and keeps the 4.
        QVERIFY(SettingsFile::WriteAll({{QStringLiteral("Zoom"), QStringLiteral("4")}}));
        frmMain cramped;
        QCOMPARE(Zoom::Factor(), 3);
        QCOMPARE(cramped.storedZoom(), int16_t(4));
        cramped.SaveSettings();
        QCOMPARE(SettingsFile::ReadAll().value(QStringLiteral("Zoom")), QStringLiteral("4"));
    }
};

int main(int argc, char** argv) {
    UseLargeOffscreenScreen(ScreenWidth, ScreenHeight);
    QApplication app(argc, argv);
    ZoomTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_zoom.moc"
