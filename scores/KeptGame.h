#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "game/BoardCursor.h"
#include "game/Game.h"

namespace orbelix {

// A game in progress as it is kept between runs: the game itself, where the keyboard
// cursor stood, and the name and hints of its record in the statistics, so that a game
// closed and resumed goes on as the same game there and counts once.
struct KeptGame {
    GameState game;
    BoardCursor cursor;
    QByteArray recordId;  // empty in a file of version 1, which had none
    int32_t hints = 0;
    bool operator==(const KeptGame& other) const {
        return game == other.game && cursor.at == other.cursor.at &&
               cursor.visible == other.cursor.visible && recordId == other.recordId &&
               hints == other.hints;
    }
};

// The kept game's file is a short text of one "key value" per line, in a fixed order,
// under a first line that names the format and its version. The boards are written
// as 300 characters each, a hex digit per cell (0 empty, 1..d a colour), row by row,
// each row column by column, each column front to back. Version 2 added the last line,
// the game's record; a file of version 1 is still read.
inline constexpr int KeptGameVersion = 2;
// Far more than a kept game takes (about 800 bytes): a file larger than this is no kept
// game, and is not read.
inline constexpr qint64 MaxKeptGameBytes = 4096;

QByteArray WriteKeptGame(const KeptGame& kept);

// Reads a kept game back. Anything that is not exactly what WriteKeptGame writes, with
// every value in range (a colour above the game's colour count, a score past 600, ...),
// or a game with no move left, or another version's file, gives nullopt and says why in
// `problem`. Reads at most MaxKeptGameBytes and never fails any other way.
std::optional<KeptGame> ReadKeptGame(const QByteArray& bytes, QString* problem);

}  // namespace orbelix
