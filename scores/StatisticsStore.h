#pragma once

#include <QList>
#include <QString>
#include <chrono>
#include <optional>

#include "scores/Statistics.h"

namespace orbelix {

// The statistics file, $XDG_STATE_HOME/Orbelix/statistics.txt (normally
// ~/.local/state/Orbelix/statistics.txt), shared by every copy of the game that runs.
// Recording a game is one cycle under a lock: read the file, record the game, replace
// the file; since a game recorded twice counts once, two copies that record at once, or
// one that records a game again, never count a game twice. A file that cannot be used (a
// link, a FIFO or other special file, too large, damaged, another version) is moved
// aside with one line on stderr, and counting starts afresh.
class StatisticsStore {
  public:
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    // The file's path; empty when there is no home folder to keep it in.
    static QString Path();

    // Records the game (see Statistics::Record), waiting up to `patience` for another
    // copy that holds the lock. A game that cannot be written now (the lock busy, the
    // disk full) is kept and written by the next call. Returns whether every game this
    // copy recorded is on disk.
    bool Record(const GameRecord& game, std::chrono::milliseconds patience = {});
    // Writes the games still waiting, as Record does.
    bool Flush(std::chrono::milliseconds patience = {});
    bool waiting() const { return !waiting_.isEmpty(); }

    // The statistics as they are on disk now, with this copy's games still waiting.
    Statistics Load();

  private:
    // The file's statistics, or nothing when it could not be read; a file that can never
    // be read is moved aside when `mayMoveAside` (the lock is held).
    std::optional<Statistics> ReadFile(const QString& path, bool mayMoveAside);

    QList<GameRecord> waiting_;
    bool busySaid_ = false;
};

}  // namespace orbelix
