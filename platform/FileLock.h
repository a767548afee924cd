#pragma once

#include <QLockFile>
#include <QString>
#include <chrono>

// The lock that copies of the game take around a read-change-write of a file they share
// (the settings file's own lock, for any other file).
namespace orbelix::FileLock {

enum class State { Taken, Busy, Failed };

// Takes `lock` (made on `lockPath`), waiting up to `patience` for a live holder; never
// blocks on whatever is in the lock's place. `problem` tells why it is busy or failed.
State Take(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds patience,
           QString& problem);

}  // namespace orbelix::FileLock
