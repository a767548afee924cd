#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "game/BoardModel.h"

// What the player's games add up to, for each colour count: how many were played,
// finished and cleared, the best, mean and median score, the hints used and how the
// search's verdict compares with the player's result. Every game counts once, however it
// ends and however often it is recorded: a record names its game, and a record of a game
// already known replaces the earlier one.
namespace orbelix {

constexpr int32_t MaxScore = 2 * CellCount;   // every ball removed, 2 points each
constexpr int ScoreSlots = MaxScore / 2 + 1;  // scores are even: 0, 2, .., MaxScore

// One game as it stands when it is recorded.
struct GameRecord {
    QString id;  // unique to the game: board number, start time, process
    int16_t colors = MinColors;
    int32_t score = 0;
    bool finished = false;  // ended with no move left
    int32_t hints = 0;
    int16_t verdict = -1;  // fewest balls the search could leave; -1 while unknown

    bool cleared() const { return score == MaxScore; }
    int16_t ballsLeft() const { return static_cast<int16_t>(CellCount - score / 2); }
    bool operator==(const GameRecord&) const = default;
};

// A game's name as records carry it: 1 to 64 letters, digits, '-', '.' or '_'.
bool RecordIdIsValid(const QByteArray& id);

// The figures of one colour count. Scores are kept as a count per score, so the mean and
// the median are exact whatever the number of games.
struct ColourFigures {
    int64_t played = 0;
    int64_t finished = 0;
    int64_t hints = 0;
    int64_t judged = 0;                        // games with a verdict
    int64_t searchLeft = 0;                    // balls the search left, over the judged games
    int64_t playerLeft = 0;                    // balls the player left, over the same games
    std::array<int64_t, ScoreSlots> scores{};  // games by score / 2

    int64_t cleared() const { return scores[ScoreSlots - 1]; }
    // The best score, or -1 with no game.
    int32_t best() const;
    // Tenths: the mean score times ten, rounded half up; -1 with no game.
    int64_t meanTenths() const;
    // Tenths too: the middle score, or halfway between the two middle ones; -1 with no game.
    int64_t medianTenths() const;
    // Mean balls left over the judged games, in tenths; -1 with none.
    int64_t searchLeftTenths() const;
    int64_t playerLeftTenths() const;

    void add(const GameRecord& game);
    bool operator==(const ColourFigures&) const = default;
};

// A number in tenths as text: "312.4", "12" for a whole number, "-" for -1 (none).
QString TenthsText(int64_t tenths);

class Statistics {
  public:
    // The format's version, written in the first line; another version is not read.
    static constexpr int Version = 1;
    // The newest games are kept one by one, so that a game recorded again (its end
    // after its abandonment by Exit, a verdict after its end) replaces its record; older
    // ones are only counted.
    static constexpr qsizetype KeptGames = 200;
    // Counts above this are taken for damage: no player gets there.
    static constexpr int64_t MaxCount = int64_t{1} << 40;

    // Adds the game, or replaces the record of the game with its id. A verdict once
    // known stays when a later record of the game lacks it.
    void Record(const GameRecord& game);
    // The figures of a colour count (6..13), every game included.
    ColourFigures figures(int colors) const;
    const QList<GameRecord>& keptGames() const { return kept_; }

    QByteArray ToText() const;
    // Reads what ToText wrote. Anything else (another version, a line out of place, a
    // number out of range, figures that do not add up) gives nothing, with the reason in
    // `problem`. Takes time linear in the text's size.
    static std::optional<Statistics> FromText(const QByteArray& text, QString* problem);

    bool operator==(const Statistics&) const = default;

  private:
    std::array<ColourFigures, MaxColors - MinColors + 1> counted_{};
    QList<GameRecord> kept_;
};

}  // namespace orbelix
