// Micro-benchmarks of the work a click does: the worst-case move (a one-colour board,
// 300 balls) with its redraw, a full redraw, filling a board, and 300 sound starts.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/frmMain.h"
#include "moves/Moves.h"

using namespace orbelix;

namespace {

frmMain* window = nullptr;

BoardGrid OneColour() {
    BoardGrid board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) board(c, r, l) = 3;
    return board;
}

// The move as RemoveGroup makes it, without the end of the game that would follow.
void WorstCaseMoveWithRedraw(benchmark::State& state) {
    const BoardGrid full = OneColour();
    for (auto _ : state) {
        window->Board = full;
        window->ColumnsInUse = Columns;
        const int n = CollectGroup(window->Board, window->Group, {5, 5, 2});
        window->UndoBoard = window->Board;
        RemoveAndSettle(window->Board, window->Group, n, [] { window->PlayBleep(QStringLiteral("Bleep.wav"), 1); });
        window->ColumnsInUse = CloseUpColumns(window->Board, window->ColumnsInUse);
        window->DrawBoard();
        benchmark::DoNotOptimize(AnyMovesLeft(window->Board));
    }
}
BENCHMARK(WorstCaseMoveWithRedraw)->Unit(benchmark::kMicrosecond);

void GroupSearchOf300(benchmark::State& state) {
    const BoardGrid full = OneColour();
    GroupList group;
    for (auto _ : state) benchmark::DoNotOptimize(CollectGroup(full, group, {1, 1, 1}));
}
BENCHMARK(GroupSearchOf300)->Unit(benchmark::kMicrosecond);

void DrawBoard(benchmark::State& state) {
    window->pctNew_Click();
    for (auto _ : state) window->DrawBoard();
}
BENCHMARK(DrawBoard)->Unit(benchmark::kMicrosecond);

void FillBoard(benchmark::State& state) {
    for (auto _ : state) {
        window->FillBoard();
        benchmark::DoNotOptimize(window->Board);
    }
}
BENCHMARK(FillBoard)->Unit(benchmark::kMicrosecond);

void ThreeHundredSoundStarts(benchmark::State& state) {
    if (!window->SoundIsOn()) window->pctSound_Click();
    for (auto _ : state)
        for (int i = 0; i < 300; ++i) window->PlayBleep(QStringLiteral("Bleep.wav"), 1);
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
