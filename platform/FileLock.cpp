#include "platform/FileLock.h"

#include "platform/SettingsFileParts.h"

namespace orbelix::FileLock {

State Take(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds patience,
           QString& problem) {
    switch (SettingsFile::TakeLock(lock, lockPath, patience, problem)) {
        case SettingsFile::LockState::Taken:
            return State::Taken;
        case SettingsFile::LockState::Busy:
            return State::Busy;
        case SettingsFile::LockState::Failed:
            break;
    }
    return State::Failed;
}

}  // namespace orbelix::FileLock
