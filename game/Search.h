#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "game/BoardModel.h"

namespace orbelix {

// How much a search may do, counted in moves made on its own boards (the moves of its
// playouts included), never in time, so that a board and a budget always give the same
// line. `seed` varies the playouts; the same seed repeats them.
struct SearchBudget {
    enum class Method : uint8_t {
        Nested,    // nested Monte Carlo search at `level`, the chosen method
        Sampling,  // the best of repeated playouts from the start, for comparison
    };
    int64_t moves = 0;
    // Whether the search commits to one move at a time, each with its share of the
    // budget, rather than spending it where it starts (which suits a hint).
    bool stepwise = false;
    int level = 1;
    Method method = Method::Nested;
    uint64_t seed = 1;

    // 5,000 moves, about 5 ms of processor time (11 ms at worst but one in twenty).
    static SearchBudget Hint();
    // 1,200,000 moves, taken one move at a time, about a second of processor time: how
    // few balls the board could have been left with.
    static SearchBudget Verdict();
};

struct SearchResult {
    // The best line found: for each move in the order played, one ball of the group to
    // remove, in the game's coordinates. Empty when the game is over (or was cancelled
    // before a first playout ended).
    std::vector<Cell> line;
    // Balls left on the board after the whole line.
    int ballsLeft = 0;
    // Moves the search made (at most the budget's, plus the length of one playout).
    int64_t movesMade = 0;
    bool cancelled = false;
};

// Searches for the line that leaves the fewest balls, from `board` with `columnsInUse`
// columns in use, playing by the game's rules. `cancel`, when given, is read often; once
// it is true the search stops within a playout and returns the best line found so far,
// marked cancelled. A hint is the first cell of the line.
// `known` is a line to start from, usually the rest of the previous hint's line after
// its first move was played: the search then never returns a worse line than it. Its
// moves are played while they are legal; the rest is dropped.
SearchResult Search(const BoardGrid& board, int16_t columnsInUse, const SearchBudget& budget,
                    const std::atomic<bool>* cancel = nullptr, const std::vector<Cell>& known = {});

}  // namespace orbelix
