// Micro-benchmarks of the work a click does: the worst-case move (a one-colour board of
// 298 balls) with its redraw, a full redraw, dealing a board, and 300 sound starts; and of
// the guide at zoom 3: the pointer entering another ball, the group search, its marks
// and the redraw of the area they cover; and loading and saving a very large settings file.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "game/Game.h"
#include "platform/SettingsFile.h"
#include "scores/Settings.h"
#include "ui/frmMain.h"

using namespace orbelix;

namespace {

frmMain* window = nullptr;

PictureBox* Control(const char* name) {
    return window->findChild<PictureBox*>(QLatin1String(name));
}

// One colour everywhere but a pair of another in the last column, which keeps a move on
// the board after the big group has gone, so that the game does not end.
BoardGrid OneColourAndAPair() {
    BoardGrid board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(c, r, l) = 3;
    board(Columns, Rows, 1) = 4;
    board(Columns, Rows - 1, 1) = 4;
    return board;
}

// A click on a middle ball of the big group, as the window system delivers it: the move,
// 298 bleeps asked for, the columns closing up and the redraw.
void WorstCaseMoveWithRedraw(benchmark::State& state) {
    const BoardGrid board = OneColourAndAPair();
    PictureBox* surface = Control("pctBoard");
    const QPointF at = BallPlacement(5, 5, 2) + QPointF(18, 12);
    for (auto _ : state) {
        state.PauseTiming();
        window->NewGameOn(board);
        state.ResumeTiming();
        QMouseEvent press(QEvent::MouseButtonPress, at, surface->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, surface->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &release);
    }
    if (window->game().board().ballCount() != 2)
        state.SkipWithError("the move did not take the group");
}
BENCHMARK(WorstCaseMoveWithRedraw)->Unit(benchmark::kMicrosecond);

void GroupSearchOf300(benchmark::State& state) {
    BoardGrid full = OneColourAndAPair();
    full(Columns, Rows, 1) = full(Columns, Rows - 1, 1) = 3;
    GroupList group;
    for (auto _ : state) benchmark::DoNotOptimize(CollectGroup(full, group, {1, 1, 1}));
}
BENCHMARK(GroupSearchOf300)->Unit(benchmark::kMicrosecond);

void DrawBoard(benchmark::State& state) {
    Control("pctNew")->click();
    for (auto _ : state) window->DrawBoard();
}
BENCHMARK(DrawBoard)->Unit(benchmark::kMicrosecond);

void DealBoard(benchmark::State& state) {
    Game game;
    game.Seed(1);
    for (auto _ : state) {
        game.New();
        benchmark::DoNotOptimize(game.board());
    }
}
BENCHMARK(DealBoard)->Unit(benchmark::kMicrosecond);

void ThreeHundredSoundStarts(benchmark::State& state) {
    SoundPlayer player;
    const std::string path = QCoreApplication::applicationDirPath().toStdString() + "/../Bleep.wav";
    for (auto _ : state)
        for (int i = 0; i < 300; ++i) player.start(path);
}
BENCHMARK(ThreeHundredSoundStarts)->Unit(benchmark::kMicrosecond);

// The pointer going back and forth between two balls of the board at zoom 3, with the
// guide on: each move finds another ball, makes its group's preview and repaints. Between
// moves the board changes colours (every code one up), as after a move, so that nothing
// made for the board before is of use.
void GuidePreview(benchmark::State& state, const BoardGrid& board, Cell first, Cell second) {
    BoardGrid other = board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l)
                if (other(c, r, l) != 0)
                    other(c, r, l) = static_cast<int16_t>(other(c, r, l) % 6 + 1);
    PictureBox* surface = Control("pctBoard");
    if (!window->SetZoom(3, false)) {
        state.SkipWithError("the screen is too small for zoom 3");
        return;
    }
    window->NewGameOn(board);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_G, Qt::NoModifier, QStringLiteral("g"));
    QCoreApplication::sendEvent(window, &key);
    QCoreApplication::processEvents();
    const auto pointAt = [surface](Cell cell) {
        // The middle of the ball's visible part, in the surface's window units.
        const QPointF at = BallPlacement(cell.column, cell.row, cell.layer) +
                           QPointF(cell.layer == 1 ? 12 : 18, 12);
        const QPointF place = at * 3;
        QMouseEvent move(QEvent::MouseMove, place, surface->mapToGlobal(place), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &move);
        QCoreApplication::processEvents();  // the repaint
    };
    bool toFirst = true;
    for (auto _ : state) {
        state.PauseTiming();
        window->NewGameOn(toFirst ? board : other);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        pointAt(toFirst ? first : second);
        toFirst = !toFirst;
    }
    if (window->guide().preview() == nullptr) state.SkipWithError("nothing was previewed");
    QCoreApplication::sendEvent(window, &key);
    window->SetZoom(1, false);
}

// A dealt board of six colours, between its largest group (9 balls, in every layer) and
// another of 7.
void GuidePreviewAtZoom3(benchmark::State& state) {
    UniformRandom random;
    random.seed(3);
    BoardGrid board;
    FillRandom(board, 6, random);
    GuidePreview(state, board, {8, 7, 1}, {4, 7, 1});
}
BENCHMARK(GuidePreviewAtZoom3)->Unit(benchmark::kMicrosecond);

// The worst case: between the 298 balls of one colour and the pair of another, so that
// each move marks or unmarks the whole board.
void GuidePreviewOf298AtZoom3(benchmark::State& state) {
    GuidePreview(state, OneColourAndAPair(), {5, 5, 1}, {Rows, Columns, 1});
}
BENCHMARK(GuidePreviewOf298AtZoom3)->Unit(benchmark::kMicrosecond);

// Loading and saving a settings file of 40,000 keys (just under the size limit), in a
// folder of its own: each is one pass over the file.
struct LargeSettings {
    QTemporaryDir folder;
    QByteArray kept = qgetenv("XDG_CONFIG_HOME");
    LargeSettings() {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        SettingsFile::Entries keys;
        for (int n = 0; n < 40000; ++n)
            keys.append({QStringLiteral("Key%1").arg(n), QString::number(n)});
        SettingsFile::WriteAll(keys);
    }
    ~LargeSettings() { qputenv("XDG_CONFIG_HOME", kept); }
};

void LoadOf40000Keys(benchmark::State& state) {
    const LargeSettings settings;
    HighScoreTable table;
    for (auto _ : state) SettingsStore().LoadSettings(table);
}
BENCHMARK(LoadOf40000Keys)->Unit(benchmark::kMicrosecond);

void SaveOf40000Keys(benchmark::State& state) {
    const LargeSettings settings;
    HighScoreTable table;
    SettingsStore store;
    Options options = store.LoadSettings(table);
    for (auto _ : state) {
        options.Sound = !options.Sound;
        if (store.SaveSettings(options, table) != SaveResult::Saved)
            state.SkipWithError("not saved");
    }
}
BENCHMARK(SaveOf40000Keys)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // Offscreen by default, on a screen large enough for zoom 3.
    const QString screen = QDir::temp().filePath(QStringLiteral("orbelix-bench-screen.json"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        QFile json(screen);
        if (json.open(QIODevice::WriteOnly | QIODevice::Truncate))
            json.write(R"({"screens": [{"name": "big", "x": 0, "y": 0, "width": 2400,
                          "height": 1400, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    frmMain main;
    window = &main;
    main.show();
    // Sound on, so that each removed ball asks for its bleep as in play.
    if (!main.SoundIsOn()) Control("pctSound")->click();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
