#pragma once

#include <QString>
#include <optional>

#include "scores/KeptGame.h"

// The kept game on disk: one file in the state folder ($XDG_STATE_HOME/Orbelix/kept-game),
// written through the safe store, so that it always holds a whole game: the one before
// a write or the one after it.
namespace orbelix::KeptGameFile {

// The file's path; empty when there is no home folder to keep it in.
QString Path();

// What start-up found.
struct Loaded {
    std::optional<KeptGame> game;
    // Empty when there was a game, or no file at all; else one line for stderr saying
    // what was wrong with the file and that it was set aside.
    QString problem;
};
// Reads the kept game. A file that cannot be read or is no good kept game (empty,
// corrupt, too large, another version, a FIFO, a link...) is renamed to
// "kept-game.rejected", replacing an older one, and never read again.
Loaded Load();

// Replaces the kept game. Returns false with the reason in `problem`.
bool Keep(const KeptGame& game, QString* problem);
// Removes the kept game: there is none to resume. Returns false with the reason when a
// file stays behind.
bool Forget(QString* problem);

}  // namespace orbelix::KeptGameFile
