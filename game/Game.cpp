#include "game/Game.h"

namespace orbelix {

void Game::StepColorCount() {
    ++ColorCount;
    if (ColorCount > MaxColors) ColorCount = MinColors;
}

void Game::New() {
    NewNumbered(Random.nextBoardNumber());
}

void Game::NewNumbered(uint32_t number) {
    const bool replaced = GameInProgress;
    Board = DealNumbered(number, ColorCount);
    BoardNumber = number;
    DealtColors = ColorCount;
    Start();
    if (replaced) Tell(GameEvent::Abandoned);
    Tell(GameEvent::Started);
}

void Game::New(const BoardGrid& board, int32_t score) {
    const bool replaced = GameInProgress;
    Board = board;
    BoardNumber = 0;
    DealtColors = ColorCount;
    Start();
    Score = score;
    if (replaced) Tell(GameEvent::Abandoned);
    Tell(GameEvent::Started);
}

void Game::Resume(const GameState& state) {
    Board = state.board;
    BoardNumber = state.boardNumber;
    DealtColors = state.colorCount;
    Start();
    // A numbered board is dealt again, so that a resumed game is judged from its start.
    if (BoardNumber != 0) DealtBoard = DealNumbered(BoardNumber, DealtColors);
    ColumnsInUse = state.columnsInUse;
    Score = state.score;
    UndoBoard = state.undoBoard;
    UndoScore = state.undoScore;
    UndoColumnsInUse = state.undoColumnsInUse;
    UndoAvailable = state.undoAvailable;
    Tell(GameEvent::Resumed);
}

GameState Game::state() const {
    return {Board,          UndoBoard,        Score,         UndoScore,  ColumnsInUse,
            UndoColumnsInUse, UndoAvailable, DealtColors, BoardNumber};
}

void Game::End() {
    const bool wasInProgress = GameInProgress;
    GameInProgress = false;
    if (wasInProgress) Tell(GameEvent::Finished);
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
