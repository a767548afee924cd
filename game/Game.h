#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "game/BoardModel.h"
#include "game/Moves.h"

namespace orbelix {

// Everything a game in progress needs to go on exactly where it stood, Undo included:
// what a kept game holds. The group of the last move and the pixel tables are not part
// of it (the one is rebuilt by the next move, the others depend on nothing).
struct GameState {
    BoardGrid board;
    BoardGrid undoBoard;
    int32_t score = 0;
    int32_t undoScore = 0;
    int16_t columnsInUse = Columns;
    int16_t undoColumnsInUse = Columns;
    bool undoAvailable = false;
    int16_t colorCount = MinColors;  // the colour count the board was dealt with
    uint32_t boardNumber = 0;        // 0 for a board that was given, not dealt by number
    bool operator==(const GameState&) const = default;
};

// What happens to a game, for whoever keeps count of games (statistics): a game is
// Started by New (or a numbered deal), Resumed from a kept game, Finished when no move
// is left, or Abandoned when New replaces it while it was still in progress.
enum class GameEvent { Started, Resumed, Finished, Abandoned };

// One game of the box of balls: the board, the undo copy, the pixel tables that hit
// testing reads, the group of the last move, the score and what a move changes, all
// private to this object. The window turns clicks and keys into calls of New,
// RemoveGroup and Undo and shows what they leave; it never changes the board itself.
class Game {
  public:
    // Seeds the generator that deals the boards.
    void Seed(uint32_t seed) { Random.seed(seed); }

    // The number of colours the next New deals (6..13): stepped by the colour button,
    // from 13 back to 6, or set from the settings.
    int16_t colorCount() const { return ColorCount; }
    void setColorCount(int16_t count) { ColorCount = count; }
    void StepColorCount();

    // Picks a board number at random and deals that board (NewNumbered).
    void New();
    // Deals board `number` (MinBoardNumber..MaxBoardNumber) at the colour count in effect
    // and starts a game on it: every column in use, the pixel tables filled, the score 0
    // and nothing to undo.
    void NewNumbered(uint32_t number);
    // Starts a game the same way on a board that is given (a prepared position), with
    // the score given. It has no board number.
    void New(const BoardGrid& board, int32_t score);
    // Goes on with a game in progress as it was kept: board, score, the one Undo step,
    // its colour count and number. The colour count of the next New stays as it is.
    void Resume(const GameState& state);
    // The game as it stands, for keeping.
    GameState state() const;
    // Told of every GameEvent, after the game has changed (null for no one).
    void setWatcher(std::function<void(GameEvent)> watcher) { Watcher = std::move(watcher); }

    // The move a click on a ball makes. The group of the ball at `cell` is collected; a
    // group of two or more is put aside for Undo and removed, `ballRemoved` running once
    // for each ball taken out, the balls above drop and empty columns close up; the
    // score grows by 2 points a ball. Returns the group's size (1 for a lone ball, which
    // changes nothing), or 0 when the cell is empty.
    int RemoveGroup(Cell cell, const std::function<void()>& ballRemoved);
    // Puts back the board, the columns and the score from before the last move that
    // removed balls. Returns false when there is nothing to undo.
    bool Undo();
    // Whether some ball still has a neighbour of its own colour within its layer.
    bool AnyMovesLeft() const;
    // The game is over: no more moves are taken.
    void End();

    // Whether slots 1..GroupCount of the last move's group hold this cell.
    bool InGroup(int16_t layer, int16_t row, int16_t column) const {
        return Group.InGroup(layer, row, column);
    }

    const BoardGrid& board() const { return Board; }
    const BoardGrid& undoBoard() const { return UndoBoard; }
    // The board the game in play started from, as New dealt or was given it.
    const BoardGrid& dealtBoard() const { return DealtBoard; }
    const PixelTables& tables() const { return Tables; }
    const GroupList& group() const { return Group; }
    int32_t score() const { return Score; }
    int32_t undoScore() const { return UndoScore; }
    bool gameInProgress() const { return GameInProgress; }
    int16_t columnsInUse() const { return ColumnsInUse; }
    bool undoAvailable() const { return UndoAvailable; }
    // The number of the board in play (0 before the first deal, or for a given board),
    // and the colour count it was dealt with.
    uint32_t boardNumber() const { return BoardNumber; }
    int16_t dealtColors() const { return DealtColors; }
    // Whether a board has been dealt since the program started.
    bool dealt() const { return Tables.BallLeft[1][1] != 0; }

  private:
    void Start();
    void Tell(GameEvent event) const {
        if (Watcher) Watcher(event);
    }

    BoardGrid Board;
    BoardGrid UndoBoard;
    BoardGrid DealtBoard;
    PixelTables Tables;  // BallLeft and BallTop
    GroupList Group;     // GroupRow, GroupColumn, GroupLayer and GroupCount
    int32_t Score = 0;
    int32_t UndoScore = 0;
    bool GameInProgress = false;
    int16_t ColorCount = MinColors;
    int16_t ColumnsInUse = 0;
    // The undo snapshot also keeps the column count, and counts only once the current
    // game has made a move that removed balls.
    int16_t UndoColumnsInUse = 0;
    bool UndoAvailable = false;
    UniformRandom Random;
    uint32_t BoardNumber = 0;
    int16_t DealtColors = MinColors;
    std::function<void(GameEvent)> Watcher;
};

}  // namespace orbelix
