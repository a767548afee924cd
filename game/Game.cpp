#include "game/Game.h"

namespace orbelix {

void Game::StepColorCount() {
    ++ColorCount;
    if (ColorCount > MaxColors) ColorCount = MinColors;
}

void Game::New() {
    FillRandom(Board, ColorCount, Random);
    Start();
}

void Game::New(const BoardGrid& board, int32_t score) {
    Board = board;
    Start();
    Score = score;
}

void Game::Start() {
    GameInProgress = true;
    DealtBoard = Board;
    ColumnsInUse = Columns;
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = Layers; l >= 1; --l) {
                const QPoint at = BallPlacement(c, r, l);
                Tables.BallLeft[c][l] = static_cast<int16_t>(at.x());
                Tables.BallTop[r][l] = static_cast<int16_t>(at.y());
            }
    Score = 0;
    UndoAvailable = false;
}

int Game::RemoveGroup(Cell cell, const std::function<void()>& ballRemoved) {
    if (Board(cell.column, cell.row, cell.layer) == 0) return 0;
    const int n = CollectGroup(Board, Group, cell);
    if (n >= 2) {
        UndoBoard = Board;
        UndoColumnsInUse = ColumnsInUse;
        UndoAvailable = true;
        RemoveAndSettle(Board, Group, n, ballRemoved);
    }
    ColumnsInUse = CloseUpColumns(Board, ColumnsInUse);
    if (n >= 2) {
        UndoScore = Score;
        Score += 2 * n;
    }
    return n;
}

bool Game::Undo() {
    if (!GameInProgress || !UndoAvailable) return false;
    Board = UndoBoard;
    ColumnsInUse = UndoColumnsInUse;
    Score = UndoScore;
    return true;
}

bool Game::AnyMovesLeft() const {
    return orbelix::AnyMovesLeft(Board);
}

}  // namespace orbelix
