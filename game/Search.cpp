#include "game/Search.h"

#include <algorithm>

#include "game/SearchBoard.h"

namespace orbelix {

SearchBudget SearchBudget::Hint() {
    SearchBudget budget;
    budget.moves = 5000;
    return budget;
}

SearchBudget SearchBudget::Verdict() {
    SearchBudget budget;
    budget.moves = 1200000;
    budget.stepwise = true;
    return budget;
}

namespace {

using Line = std::vector<int16_t>;  // cells of the moves, in the order played

class Searcher {
  public:
    Searcher(const SearchBudget& budget, const std::atomic<bool>* cancel)
        : budget_(budget), cancel_(cancel), random_(budget.seed) {}

    // Plays the game out: each move a group chosen at random, but never one of the
    // colour with the most balls while another colour has a move, so that the largest
    // colour has a chance to gather into big groups. Appends the moves to `line`;
    // returns the balls left.
    int Playout(SearchBoard board, Line& line) {
        int count[MaxColors + 1] = {};
        for (int i = 0; i < SearchBoard::Size; ++i) ++count[board.at(i)];
        GroupScan scan;
        for (;;) {
            scan.Scan(board);
            if (scan.count() == 0) return board.ballsLeft();
            int tabu = 1;
            for (int c = 2; c <= MaxColors; ++c)
                if (count[c] > count[tabu]) tabu = c;
            int allowed[SearchBoard::Size / 2];
            int n = 0;
            for (int g = 0; g < scan.count(); ++g)
                if (scan.group(g).colour != tabu) allowed[n++] = g;
            int pick;
            if (n > 0)
                pick = allowed[random_.below(n)];
            else
                pick = random_.below(scan.count());
            const GroupScan::Group& group = scan.group(pick);
            count[group.colour] -= group.size;
            line.push_back(group.first);
            scan.Play(board, pick);
            ++made_;
        }
    }

    // Nested Monte Carlo search: at each step every move is tried, judged by a search
    // one level lower (a playout at level 0), and the best line seen so far is followed.
    int Nested(SearchBoard board, int level, Line& best) {
        best.clear();
        return Nested(board, level, best, Playout(board, best));
    }

    // The same, starting from a line already known and the balls it leaves.
    int Nested(SearchBoard board, int level, Line& best, int bestLeft) {
        if (level == 0) return bestLeft;
        Line played;
        Line trial;
        GroupScan scan;
        for (;;) {
            scan.Scan(board);
            if (scan.count() == 0 || Exhausted()) break;
            for (int g = 0; g < scan.count() && !Exhausted(); ++g) {
                SearchBoard next = board;
                scan.Play(next, g);
                ++made_;
                const int left = Nested(next, level - 1, trial);
                if (left < bestLeft) {
                    bestLeft = left;
                    best = played;
                    best.push_back(scan.group(g).first);
                    best.insert(best.end(), trial.begin(), trial.end());
                }
            }
            const int16_t move = best[played.size()];
            played.push_back(move);
            board.Play(move);
            ++made_;
        }
        return bestLeft;
    }

    // Plays the moves of `line` that are legal in turn, drops the rest, and plays the
    // game out from there. Returns the balls left.
    int Complete(SearchBoard board, Line& line) {
        GroupScan scan;
        size_t kept = 0;
        for (; kept < line.size(); ++kept) {
            scan.Scan(board);
            if (scan.count() == 0 || board.at(line[kept]) == 0) break;
            if (board.Play(line[kept]) < 2) break;
            ++made_;
        }
        line.resize(kept);
        return Playout(board, line);
    }

    // Commits to one move at a time: from each position on the best line, a nested
    // search starting from the rest of that line, with an equal share of the budget
    // left for each move that rest has; then its first move is played. Spreads the
    // budget over the whole game rather than its opening.
    int Stepwise(SearchBoard board, int level, Line& best, int bestLeft) {
        Line rest;
        size_t played = 0;
        GroupScan scan;
        for (scan.Scan(board); scan.count() > 0 && !Exhausted(); scan.Scan(board)) {
            rest.assign(best.begin() + static_cast<std::ptrdiff_t>(played), best.end());
            const auto share = static_cast<int64_t>(std::max<size_t>(rest.size(), 1));
            limit_ = made_ + (budget_.moves - made_) / share;
            bestLeft = Nested(board, level, rest, bestLeft);
            limit_ = budget_.moves;
            best.resize(played);
            best.insert(best.end(), rest.begin(), rest.end());
            board.Play(best[played++]);
            ++made_;
        }
        return bestLeft;
    }

    int Sampling(const SearchBoard& board, Line& best, int bestLeft) {
        Line trial;
        while (!best.empty() && !Exhausted()) {
            trial.clear();
            const int left = Playout(board, trial);
            if (left < bestLeft) {
                bestLeft = left;
                best.swap(trial);
            }
        }
        return bestLeft;
    }

    bool Exhausted() {
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) cancelled_ = true;
        return cancelled_ || made_ >= limit_;
    }
    bool cancelled() const { return cancelled_; }
    int64_t made() const { return made_; }

  private:
    const SearchBudget budget_;
    const std::atomic<bool>* cancel_;
    SearchRandom random_;
    int64_t made_ = 0;
    int64_t limit_ = budget_.moves;  // lowered for each step of Stepwise
    bool cancelled_ = false;
};

}  // namespace

SearchResult Search(const BoardGrid& board, int16_t columnsInUse, const SearchBudget& budget,
                    const std::atomic<bool>* cancel, const std::vector<Cell>& known) {
    SearchResult result;
    const SearchBoard start(board, columnsInUse);
    Searcher searcher(budget, cancel);
    Line line;
    int left = searcher.Playout(start, line);
    if (!known.empty()) {
        Line seeded;
        for (const Cell cell : known)
            seeded.push_back(static_cast<int16_t>(SearchBoard::FromCell(cell)));
        const int seededLeft = searcher.Complete(start, seeded);
        if (seededLeft <= left) {
            left = seededLeft;
            line.swap(seeded);
        }
    }
    if (budget.method == SearchBudget::Method::Sampling)
        result.ballsLeft = searcher.Sampling(start, line, left);
    else if (budget.stepwise)
        result.ballsLeft = searcher.Stepwise(start, budget.level, line, left);
    else
        result.ballsLeft = searcher.Nested(start, budget.level, line, left);
    for (const int16_t cell : line) result.line.push_back(SearchBoard::ToCell(cell));
    result.movesMade = searcher.made();
    result.cancelled = searcher.cancelled();
    return result;
}

}  // namespace orbelix
