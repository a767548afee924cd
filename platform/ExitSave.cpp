#include "platform/ExitSave.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/SettingsFile.h"

namespace orbelix::ExitSave {
namespace {

// How long another thread waits for the main thread to make the save.
constexpr std::chrono::seconds MainThreadWait{4};

struct State {
    std::mutex mutex;
    std::condition_variable madeChanged;
    std::function<void()> save;
    const void* owner = nullptr;
    bool made = true;  // the save has been made, or there is none to make
    QtMessageHandler earlierHandler = nullptr;
};
// Made on first use and never destroyed: exit() runs the save after the destructors of
// the statics made later than the save was registered.
State& Current() {
    static State* const state = new State;
    return *state;
}

// Makes the registered save, once, on the main thread.
void MakeSave() {
    State& state = Current();
    std::function<void()> save;
    {
        const std::lock_guard guard(state.mutex);
        save = std::exchange(state.save, nullptr);
    }
    if (save) save();
    const std::lock_guard guard(state.mutex);
    state.made = true;
    state.madeChanged.notify_all();
}

void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (QtMessageHandler earlier = Current().earlierHandler)
        earlier(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
    // Qt's Wayland client ends the program with _exit() right after saying this.
    if (type == QtWarningMsg && message.startsWith(QLatin1String("The Wayland connection"))) Run();
}

}  // namespace

void Register(const void* owner, std::function<void()> save) {
    static const bool hooked = [] {
        std::atexit(Run);
        Current().earlierHandler = qInstallMessageHandler(OnMessage);
        return true;
    }();
    Q_UNUSED(hooked);
    const std::lock_guard guard(Current().mutex);
    Current().save = std::move(save);
    Current().owner = owner;
    Current().made = false;
}

void Unregister(const void* owner) {
    const std::lock_guard guard(Current().mutex);
    if (Current().owner != owner) return;
    Current().save = nullptr;
    Current().owner = nullptr;
    Current().made = true;
    Current().madeChanged.notify_all();
}

void Run() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) return MakeSave();
    // Another thread (Qt's Wayland events) may find the connection broken first; the main
    // thread may find it too and end the program, so both wait for the save.
    State& state = Current();
    {
        const std::lock_guard guard(state.mutex);
        if (state.made) return;
    }
    QMetaObject::invokeMethod(app, &MakeSave, Qt::QueuedConnection);
    std::unique_lock lock(state.mutex);
    if (!state.madeChanged.wait_for(lock, MainThreadWait, [&state] { return state.made; })) {
        lock.unlock();
        SettingsFile::KeepChangeInFlight();
    }
}

}  // namespace orbelix::ExitSave
