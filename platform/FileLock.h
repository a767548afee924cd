#pragma once

#include <QString>
#include <chrono>
#include <memory>

namespace orbelix::SettingsFile {
class HeldLock;
}

// The lock that copies of the game take around a read-change-write of a file they share:
// the settings file's own lock, for any other file.
namespace orbelix::FileLock {

enum class State { Taken, Busy, Failed };

// The lock while it is held; let go when this goes.
class Held {
  public:
    Held();
    ~Held();
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    // Takes the lock at `lockPath`, waiting up to `patience` for a live holder; never
    // blocks on whatever is in the lock's place. `problem` tells why it is busy or failed.
    State take(const QString& lockPath, std::chrono::milliseconds patience, QString& problem);

  private:
    std::unique_ptr<SettingsFile::HeldLock> lock_;
};

}  // namespace orbelix::FileLock
