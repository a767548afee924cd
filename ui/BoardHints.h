#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <vector>

#include "game/Game.h"
#include "game/SearchRunner.h"
#include "ui/BoardOverlay.h"

namespace orbelix {

// Hints and the verdict of a finished game, both searched off the window's thread and
// handed back to it. A hint marks the group to remove next, puts the keyboard cursor on
// it and says it; the verdict says how few balls the dealt board could have been left
// with, and shows it over the final board while the guide is on.
class BoardHints : public QObject {
    Q_OBJECT

  public:
    // `takesMoves` tells whether a game is played on the main screen now, `finished`
    // whether a finished game's board is on the main screen; `counted` runs for each
    // hint shown.
    BoardHints(const Game& game, BoardOverlay& overlay, std::function<bool()> takesMoves,
               std::function<bool()> finished, std::function<void()> counted);
    ~BoardHints() override;

    // Asks for a hint for the board as it is now. It shows when found, unless the board
    // has changed meanwhile; a newer request replaces an older one.
    void ask();
    // A game starts: what was searched for the last one is dropped.
    void newGame();
    // The game has just ended: the verdict is searched from the board it was dealt.
    void gameEnded();
    // The end of the game has been handled (its pause, its table): the verdict is said
    // from now on, once found, and never over the words of the end itself; `keep` takes
    // it then.
    void endHandled(std::function<void(int ballsLeft)> keep);

    // The fewest balls the search left on the finished game's dealt board, once found.
    std::optional<int> verdict() const { return verdict_; }

  signals:
    // A search's result has been taken (shown or dropped): for tests and measurements.
    void hintHandled();

  private:
    void hintFound(uint64_t request, const SearchResult& result);
    void verdictFound(uint64_t request, const SearchResult& result);
    void sayVerdict();

    const Game& game_;
    BoardOverlay& overlay_;
    std::function<bool()> takesMoves_;
    std::function<bool()> finished_;
    std::function<void()> counted_;
    std::function<void(int)> keep_;
    std::optional<int> verdict_;
    int ballsLeft_ = 0;  // by the player, in the game the verdict is searched for
    bool endHandled_ = false;
    uint64_t hintRequest_ = 0;
    uint64_t verdictRequest_ = 0;
    BoardGrid asked_;  // the board the newest hint was asked for
    // The rest of the last hint's line, and the board it starts from: the next search
    // starts from it when the player followed the hint.
    std::vector<Cell> rest_;
    BoardGrid afterHint_;
    // Last, so that their threads stop before anything they hand results to goes.
    SearchRunner verdicts_;
    SearchRunner hints_;
};

}  // namespace orbelix
