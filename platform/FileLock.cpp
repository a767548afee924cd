#include "platform/FileLock.h"

#include "platform/SettingsFileParts.h"

namespace orbelix::FileLock {

Held::Held() : lock_(std::make_unique<SettingsFile::HeldLock>()) {}

Held::~Held() = default;

State Held::take(const QString& lockPath, std::chrono::milliseconds patience, QString& problem) {
    switch (SettingsFile::TakeLock(*lock_, lockPath, patience, problem)) {
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
