#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

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

// Replaces the kept game. Anything in its place that is not a file of this user's own
// is set aside first. Returns false with the reason in `problem`.
bool Keep(const KeptGame& game, QString* problem);
// Removes the kept game: there is none to resume. Returns false with the reason when a
// file stays behind.
bool Forget(QString* problem);

// Keeps the game on a thread of its own, so that no move ever waits for the disk. Only
// the latest request counts: requests made while a write is under way replace each other,
// and the last one is carried out when that write is done. A failure is said once on
// stderr until a write succeeds again.
class Writer {
  public:
    Writer();
    ~Writer();  // carries out the last request first
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void keep(const KeptGame& game);
    void forget();
    // Returns once every request made so far has been carried out.
    void flush();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<QByteArray> pending_;  // the bytes to keep; empty bytes: forget
    bool busy_ = false;
    bool stopping_ = false;
    bool failing_ = false;
    std::thread thread_;
};

}  // namespace orbelix::KeptGameFile
