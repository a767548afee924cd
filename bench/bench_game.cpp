// Micro-benchmarks of the work a click does: the worst-case move (a one-colour board of
// 298 balls) with its redraw, a full redraw, dealing a board, and 300 sound starts.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>

#include "game/Game.h"
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
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
