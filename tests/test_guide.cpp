// The guide: with it on, a click takes the ball drawn at the pointer and the group that
// click would remove is marked over the board; Help shows the rules page. With it off,
// the game's bands and the board's pixels stay as they are.
#include <QSet>
#include <algorithm>
#include <map>
#include <random>
#include <tuple>

#include "SystemInput.h"
#include "ZoomSupport.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

constexpr QSize Extent(512, 330);  // logical pixels that hold every ball

BoardGrid SeededBoard(uint32_t seed) {
    UniformRandom random;
    random.seed(seed);
    BoardGrid board;
    FillRandom(board, 6, random);
    board(4, 4, 1) = board(6, 7, 2) = board(2, 9, 3) = 0;  // grey balls, in front of others too
    return board;
}

// The ball sprites' shapes at a scale, from the masks of the art, read once per scale.
const SpriteShapes& Shapes(int scale) {
    static std::map<int, SpriteShapes> read;
    if (const auto known = read.find(scale); known != read.end()) return known->second;
    SpriteShapes& shapes = read[scale];
    const int side = BallSize * scale;
    for (int code = 0; code <= MaxColors; ++code) {
        const QImage art = ArtFile(QStringLiteral("pctBall_%1").arg(code), scale);
        shapes[code] = SpriteShape(
            side, [&](int x, int y) { return (art.pixel(side + x, y) & 0xFFFFFF) == 0; });
    }
    return shapes;
}

// The cell drawn on top at each device pixel (row 0 where none): the masks blitted in the
// game's order, rows, then columns, then back to front.
std::vector<Cell> TopCells(const BoardGrid& board, int scale) {
    const SpriteShapes& shapes = Shapes(scale);
    const int side = BallSize * scale;
    const int width = Extent.width() * scale;
    std::vector<Cell> top(static_cast<size_t>(width * Extent.height() * scale));
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const QPoint at = BallPlacement(c, r, l) * scale;
                for (int y = 0; y < side; ++y)
                    for (const Span run : shapes[board(c, r, l)].row(y))
                        std::fill(top.begin() + (at.y() + y) * width + at.x() + run.begin,
                                  top.begin() + (at.y() + y) * width + at.x() + run.end,
                                  Cell{int16_t(r), int16_t(c), int16_t(l)});
            }
    return top;
}

QPoint DevicePoint(int index, int scale) {
    return {index % (Extent.width() * scale), index / (Extent.width() * scale)};
}

QPointF Logical(QPoint device, int scale) {
    return QPointF(device.x() / scale, device.y() / scale);
}

// The board a move on `cell` leaves.
BoardGrid AfterMove(const frmMain& window, Cell cell) {
    Game game = window.game();
    game.RemoveGroup(cell, [] {});
    return game.board();
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace

class GuideTest : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> window;
    PictureBox* board() { return Control(*window, "pctBoard"); }
    QImage shown() { return board()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  private slots:
    void init() {
        Zoom::SetFactor(1);
        window = OpenFreshWindow();
        for (int r = 1; r <= TableRows; ++r) window->table().setRow(r, QString(), 100000);
    }
    void cleanup() { window.reset(); }

    void scales_data() {
        QTest::addColumn<int>("zoom");
        for (int zoom : {1, 2, 3})
            QTest::newRow(qPrintable(QStringLiteral("%1x").arg(zoom))) << zoom;
    }

    // Every visible device pixel of every ball, grey ones included, selects that ball.
    void aimTakesTheBallDrawnOnTop_data() { scales_data(); }
    void aimTakesTheBallDrawnOnTop() {
        QFETCH(int, zoom);
        QVERIFY(window->SetZoom(zoom, false));
        QTest::keyClick(window.get(), Qt::Key_G);
        for (uint32_t seed : {1u, 2u}) {
            StartGameWith(*window, SeededBoard(seed));
            const std::vector<Cell> top = TopCells(window->game().board(), zoom);
            for (int i = 0; i < int(top.size()); ++i) {
                Cell found;
                const bool hit = window->guide().cellAt(DevicePoint(i, zoom), found);
                if (hit != (top[i].row != 0) || (hit && !(found == top[i])))
                    QFAIL(qPrintable(QStringLiteral("device pixel %1").arg(i)));
            }
            // And the part of each ball that the guide marks is the part drawn on top.
            std::vector<Cell> marked(top.size());
            int twice = 0;  // pixels that two balls claim
            const SpriteShapes& shapes = Shapes(zoom);
            for (int r = 1; r <= Rows; ++r)
                for (int c = 1; c <= Columns; ++c)
                    for (int l = 1; l <= Layers; ++l) {
                        const Cell cell{int16_t(r), int16_t(c), int16_t(l)};
                        VisibleRuns(window->game().board(), shapes, cell, [&](int y, Span run) {
                            for (int x = run.begin; x < run.end; ++x) {
                                Cell& at = marked[y * Extent.width() * zoom + x];
                                twice += at.row != 0;
                                at = cell;
                            }
                        });
                    }
            QCOMPARE(twice, 0);
            QVERIFY(marked == top);
        }
    }

    // Clicks through the window system, the guide on or off: on random visible pixels of
    // removable balls, each removes the group under the pointer; in the gaps between the
    // balls, the group of the game's bands.
    void clicksRemoveTheGroupUnderThePointer_data() {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("guide");
        for (int zoom : {1, 2, 3})
            for (bool guide : {false, true})
                QTest::newRow(qPrintable(QStringLiteral("%1x, guide %2").arg(zoom).arg(guide)))
                    << zoom << guide;
    }
    void clicksRemoveTheGroupUnderThePointer() {
        QFETCH(int, zoom);
        QFETCH(bool, guide);
        QVERIFY(window->SetZoom(zoom, false));
        if (guide) QTest::keyClick(window.get(), Qt::Key_G);
        std::mt19937 random(zoom);
        int clicks = 0;
        for (uint32_t seed = 10; clicks < 80; ++seed) {
            StartGameWith(*window, SeededBoard(seed));
            while (clicks < 80 && window->game().gameInProgress()) {
                const std::vector<Cell> top = TopCells(window->game().board(), zoom);
                // Every other click in a gap. A pixel is drawn at random from those of the
                // click's kind until one takes a removable group: uniform over the pixels
                // that do, without a group search at each of them.
                const bool inGap = clicks % 2 == 1;
                std::vector<int> kind;
                for (int i = 0; i < int(top.size()); ++i)
                    if ((top[i].row == 0) == inGap) kind.push_back(i);
                std::map<std::tuple<int, int, int>, bool> moves;  // per cell, once
                const auto removable = [&](Cell cell) {
                    const auto key = std::make_tuple(cell.row, cell.column, cell.layer);
                    const auto known = moves.find(key);
                    if (known != moves.end()) return known->second;
                    return moves[key] = PreviewGroup(window->game().board(), cell).isMove();
                };
                int pick = -1;
                Cell aimed;
                while (pick < 0) {
                    QVERIFY(!kind.empty());
                    const size_t at = random() % kind.size();
                    const int i = kind[at];
                    Cell cell = top[i];
                    if ((!inGap || HitTest(window->game().tables(),
                                           Logical(DevicePoint(i, zoom), zoom), cell)) &&
                        removable(cell)) {
                        pick = i;
                        aimed = cell;
                    }
                    kind[at] = kind.back();
                    kind.pop_back();
                }
                const BoardGrid expected = AfterMove(*window, aimed);
                SystemMouse(board(), DevicePoint(pick, zoom), true);
                QVERIFY2(window->game().board() == expected, qPrintable(QString::number(clicks)));
                ++clicks;
            }
        }
    }

    // Random pointer paths over the board with the guide on, ending on the grey surface
    // between the balls, beside the board or off the window, or with a click: what is on
    // show then is what a fresh window shows with the pointer resting at the same place.
    void pathsLeaveNothingBehind_data() {
        QTest::addColumn<int>("end");
        QTest::newRow("rest on the surface") << 0;
        QTest::newRow("leave the board") << 1;
        QTest::newRow("click") << 2;
    }
    void pathsLeaveNothingBehind() {
        QFETCH(int, end);
        QTest::keyClick(window.get(), Qt::Key_G);
        const double ratio = window->devicePixelRatioF();
        const QRect device(QPoint(), board()->QWidget::size() * ratio);
        const QRect onWindow(-board()->QWidget::pos() * ratio, window->QWidget::size() * ratio);
        std::mt19937 random(end);
        const auto within = [&random](QRect area) {
            return area.topLeft() +
                   QPoint(int(random() % area.width()), int(random() % area.height()));
        };
        for (int path = 0; path < 150; ++path) {
            UniformRandom deal;
            deal.seed(uint32_t(path));
            BoardGrid dealt;
            FillRandom(dealt, int16_t(3 + path % 4), deal);
            StartGameWith(*window, dealt);
            for (int step = int(random() % 5); step >= 0; --step)
                SystemMouse(board(), within(device));
            // A click ends a path over a ball of a group.
            QPoint at;
            Cell cell;
            do at = within(end == 1 ? onWindow : device);
            while (end == 1 ? device.contains(at)
                            : window->guide().cellAt(at, cell) != (end == 2) ||
                                  (end == 2 && !PreviewGroup(dealt, cell).isMove()));
            const bool offWindow = end == 1 && random() % 3 == 0;
            const auto finish = [&](frmMain& on, bool click) {
                if (offWindow)
                    QWindowSystemInterface::handleLeaveEvent<Queued>(on.windowHandle());
                else
                    SystemMouse(Control(on, "pctBoard"), at, click);
                DeliverQueued();
            };
            finish(*window, end == 2);
            const QImage seen = OnShow(board());
            const std::unique_ptr<frmMain> fresh = OpenFreshWindow();
            // A pixel aside: the window system drops a move to where the pointer already is.
            fresh->QWidget::move(window->QWidget::pos() + QPoint(1, 1));
            QTest::keyClick(fresh.get(), Qt::Key_G);
            StartGameWith(*fresh, window->game().board());
            finish(*fresh, false);
            QVERIFY2(seen == OnShow(Control(*fresh, "pctBoard")),
                     qPrintable(QString::number(path)));
        }
    }

    // Wherever the guide looks, on every cell by the keyboard cursor, its label stands whole
    // on the board, beside a group or over a board that is one group.
    void labelWholeOnTheBoard_data() {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("colours");
        for (int zoom : {1, 2, 3, 4})
            for (int colours : {1, 6})
                QTest::newRow(qPrintable(QStringLiteral("%1x, %2 colours").arg(zoom).arg(colours)))
                    << zoom << colours;
    }
    void labelWholeOnTheBoard() {
        QFETCH(int, zoom);
        QFETCH(int, colours);
        QVERIFY(window->SetZoom(zoom, false));
        QTest::keyClick(window.get(), Qt::Key_G);
        UniformRandom deal;
        deal.seed(4);
        BoardGrid dealt;
        FillRandom(dealt, int16_t(colours), deal);
        StartGameWith(*window, dealt);
        QTest::keyClick(window.get(), Qt::Key_Right);  // shows the cursor on the first cell
        QSet<int> seen;
        for (int step = 0; step < CellCount; ++step) {  // along the rows, to and fro
            const Cell at = window->cursor().at;
            seen.insert((at.row * 16 + at.column) * 4 + at.layer);
            QVERIFY2(board()->rect().contains(window->guide().labelArea()),
                     qPrintable(QString::number(step)));
            const bool back = step / Columns % 2, up = step / (Columns * Rows) % 2;
            QTest::keyClick(window.get(), step % (Columns * Rows) == Columns * Rows - 1 ? Qt::Key_L
                                          : step % Columns == Columns - 1
                                              ? (up ? Qt::Key_Up : Qt::Key_Down)
                                          : back ? Qt::Key_Left
                                                 : Qt::Key_Right);
        }
        QCOMPARE(seen.size(), CellCount);
    }

    // With the guide off, moving the pointer over the board paints nothing. With it on,
    // over a ball of a group through all three layers, exactly that group is marked, over
    // the board and not into it; within one ball nothing is painted again; the marks go
    // when the pointer leaves and on a screen change; the click removes that group.
    void previewMarksTheGroupAClickRemoves_data() { scales_data(); }
    void previewMarksTheGroupAClickRemoves() {
        QFETCH(int, zoom);
        QVERIFY(window->SetZoom(zoom, false));
        StartGameWith(*window, ColumnBoard());  // 7 balls of colour 3, from (7,3,3) to (8,6,1)
        QCoreApplication::processEvents();
        const QImage before = shown(), stored = board()->backImage().copy();
        PaintCounter counter;
        board()->installEventFilter(&counter);
        for (int c = 1; c <= Columns; ++c) SystemMouse(board(), BallPoint(c, 4, 2) * zoom);
        QCOMPARE(counter.paints, 0);
        QCOMPARE(shown(), before);
        QTest::keyClick(window.get(), Qt::Key_G);
        const std::vector<Cell> top = TopCells(window->game().board(), zoom);
        const Cell aimed{3, 7, 3};  // row, column, layer: a back ball
        const auto pixelOf = [&](int nth) {
            for (int i = 0; i < int(top.size()); ++i)
                if (top[i] == aimed && nth-- == 0) return DevicePoint(i, zoom);
            return QPoint();
        };
        SystemMouse(board(), pixelOf(0));
        QVERIFY(window->guide().preview() != nullptr);
        const GroupPreview preview = *window->guide().preview();
        QCOMPARE(preview.size, 7);
        const QImage marked = shown();
        QCOMPARE(board()->backImage(), stored);
        const QRect label(window->guide().labelArea().topLeft() * zoom,
                          window->guide().labelArea().size() * zoom);
        QSet<int> seen;
        for (int i = 0; i < int(top.size()); ++i) {
            const QPoint at = DevicePoint(i, zoom);
            if (label.contains(at) || marked.pixel(at) == before.pixel(at)) continue;
            QVERIFY2(std::ranges::count(preview.cells, top[i]) == 1, "marked outside the group");
            seen.insert((top[i].row * 16 + top[i].column) * 4 + top[i].layer);
        }
        QCOMPARE(seen.size(), 7);
        // The rings are a logical pixel wide at every zoom: across the middle of a front ball
        // of the group, its first pixels from the left are black, the next ones white.
        const Cell front = *std::ranges::find(preview.cells, 1, &Cell::layer);
        const int middle = (BallPlacement(front.column, front.row, 1).y() + BallSize / 2) * zoom;
        const int width = Extent.width() * zoom;
        int left = 0;
        while (left < width && !(top[middle * width + left] == front)) ++left;
        for (int x = left; x < left + 2 * zoom; ++x)
            QCOMPARE(marked.pixel(x, middle),
                     x < left + zoom ? qRgb(0, 0, 0) : qRgb(255, 255, 255));

        // Wherever in the group the pointer rests, the label hides none of its balls.
        for (const Cell& cell : preview.cells) {
            const auto seenAt = std::ranges::find(top, cell);
            if (seenAt == top.end()) continue;  // a ball hidden whole
            SystemMouse(board(), DevicePoint(int(seenAt - top.begin()), zoom));
            const QRect area = window->guide().labelArea().intersected(QRect(QPoint(), Extent));
            for (int y = area.top() * zoom; y < (area.bottom() + 1) * zoom; ++y)
                for (int x = area.left() * zoom; x < (area.right() + 1) * zoom; ++x)
                    QVERIFY2(std::ranges::count(preview.cells, top[y * width + x]) == 0,
                             "the label hides a ball of the group");
        }
        SystemMouse(board(), pixelOf(0));
        counter.paints = 0;
        SystemMouse(board(), pixelOf(5));
        QCOMPARE(counter.paints, 0);
        SystemMouse(board(), QPoint(600, 100) * zoom);  // off the board
        QVERIFY(window->guide().preview() == nullptr);
        QTest::keyClick(window.get(), Qt::Key_Right);  // the keyboard cursor's ball
        QCOMPARE(window->guide().preview()->at, window->cursor().at);
        QTest::keyClick(window.get(), Qt::Key_F1);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(window->guide().preview() == nullptr);

        const BoardGrid expected = AfterMove(*window, aimed);
        SystemMouse(board(), pixelOf(1));
        QCOMPARE(window->guide().preview()->at, aimed);
        SystemMouse(board(), pixelOf(1), true);
        QCOMPARE(window->game().board(), expected);
        // Without a move, the group now under the resting pointer is shown.
        Cell under;
        QVERIFY(window->guide().cellAt(pixelOf(1), under) && window->guide().preview());
        QCOMPARE(window->guide().preview()->at, under);
        QCOMPARE(window->guide().preview()->size, PreviewGroup(expected, under).size);
    }

    // With the guide on, Help shows the rules page, drawn at every scale from its own art
    // pixel for pixel; with it off, the game's help picture.
    void rulesPageAtEveryScale_data() { scales_data(); }
    void rulesPageAtEveryScale() {
        QFETCH(int, zoom);
        QVERIFY(window->SetZoom(zoom, false));
        Click(Control(*window, "pctHelp"));
        QVERIFY(Control(*window, "pctHelpText")->isVisible());
        QVERIFY(window->findChild<PictureBox*>(QStringLiteral("pctRulesText")) == nullptr);
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QTest::keyClick(window.get(), Qt::Key_G);
        Click(Control(*window, "pctHelp"));
        PictureBox* page = Control(*window, "pctRulesText");
        QVERIFY(page->isVisible() && !Control(*window, "pctHelpText")->isVisible());
        QVERIFY(QRect(0, 0, 656, 364).contains(page->geometry()));
        const QImage art = ArtFile(QStringLiteral("pctRulesText"), zoom);
        // The statistics button stands on the page; the page's own art is what is compared.
        Control(*window, "pctStatistics")->setVisible(false);
        const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(Mismatch(shot, page->pos() * zoom, art), QString());
        Click(page);
        QVERIFY(!page->isVisible() && Control(*window, "pctNew")->isVisible());
    }
};

int main(int argc, char** argv) {
    // Run at the desktop scale that the test run sets.
    UseLargeOffscreenScreen(3000, 1600);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    GuideTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_guide.moc"
