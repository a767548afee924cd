#include "scores/SettingsKeeper.h"

#include <chrono>

#include "platform/ExitSave.h"

namespace orbelix {
namespace {

// How long the last save waits for another copy that holds the lock.
constexpr std::chrono::seconds LastWaitForTheLock{2};

}  // namespace

SettingsKeeper::SettingsKeeper(HighScoreTable& table, std::function<Options()> options)
    : table_(table), options_(std::move(options)) {
    retry_.setInterval(250);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (!retriesHeld_) save();
    });
    // A program ended by exit() (as Qt does when the X connection breaks) or by a broken
    // Wayland connection still saves on its way out.
    ExitSave::Register(this, [this] { lastSave({}); });
}

SettingsKeeper::~SettingsKeeper() {
    ExitSave::Unregister(this);
}

Options SettingsKeeper::load() {
    return store_.LoadSettings(table_);
}

void SettingsKeeper::save() {
    if (store_.SaveSettings(options_(), table_) == SaveResult::Waiting)
        retry_.start();
    else
        retry_.stop();
}

void SettingsKeeper::saveOnTheWayOut(const std::function<void()>& beforeWaiting) {
    if (done_) return;
    done_ = true;
    lastSave(beforeWaiting);
    ExitSave::Unregister(this);
}

void SettingsKeeper::lastSave(const std::function<void()>& beforeWaiting) {
    retry_.stop();
    const Options options = options_();
    SaveResult saved = store_.SaveSettings(options, table_);
    if (saved == SaveResult::Waiting) {
        if (beforeWaiting) beforeWaiting();
        saved = store_.SaveSettings(options, table_, LastWaitForTheLock);
    }
    if (saved != SaveResult::Saved) store_.KeepAside(options, table_);
}

}  // namespace orbelix
