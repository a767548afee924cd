#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace orbelix {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that the system
// ending the program closes the main window the normal way and the settings get saved.
// The signal handler only writes one byte to a socket; the work happens in the loop.
// A signal that is ignored when the bridge is made stays ignored.
//
// Should the program still run `grace` after a signal (its main thread stuck, so the loop
// never gets to it), `lastResort` runs on a thread of its own and the program ends with
// the status 128 + the signal's number (1 after a close).
class SignalBridge : public QObject {
    Q_OBJECT

  public:
    static constexpr std::chrono::seconds Grace{5};

    // The program is closing: it has `Grace` to end, as after a signal (a save stuck on a
    // file system that does not answer must not keep it up). Nothing without a bridge.
    static void EndWithinGrace();

    explicit SignalBridge(std::function<void()> onSignal,
                          std::function<void()> lastResort = nullptr, QObject* parent = nullptr);
    ~SignalBridge() override;

  private:
    void readSignal();
    void Watch();

    std::function<void()> onSignal_;
    std::function<void()> lastResort_;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<int> installed_;
    std::thread watchdog_;
};

}  // namespace orbelix
