#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <vector>

namespace orbelix {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that the system
// ending the program closes the main window the normal way and the settings get saved.
// The signal handler only writes one byte to a socket; the work happens in the loop.
// A signal that is ignored when the bridge is made stays ignored.
class SignalBridge : public QObject {
    Q_OBJECT

  public:
    explicit SignalBridge(std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalBridge() override;

  private:
    void readSignal();

    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<int> installed_;
};

}  // namespace orbelix
