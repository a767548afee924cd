#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace orbelix {

// Qt drops the window system's request to close a window while a modal window blocks it,
// so a close box pressed just as a modal window opens is lost and the player must close
// again. This watches the X11 requests to close one window and, while `blocked` says the
// window is blocked, hands them to `close` (on the window's thread). Elsewhere (Wayland,
// offscreen) it does nothing: there the request reaches the window as usual.
class CloseRequests : public QAbstractNativeEventFilter {
  public:
    CloseRequests(QWidget& window, std::function<bool()> blocked, std::function<void()> close);
    ~CloseRequests() override;
    CloseRequests(const CloseRequests&) = delete;
    CloseRequests& operator=(const CloseRequests&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

  private:
    QWidget& window_;
    std::function<bool()> blocked_;
    std::function<void()> close_;
    // The atoms' names are sent to the X server at once and their numbers read back at
    // the first client message, so that start-up does not wait for the answers.
    bool resolveAtoms();
    void* connection_ = nullptr;            // the X connection while the answers are due
    uint32_t protocolsRequest_ = 0;         // the requests' sequence numbers
    uint32_t deleteWindowRequest_ = 0;
    uint32_t protocols_ = 0;     // WM_PROTOCOLS
    uint32_t deleteWindow_ = 0;  // WM_DELETE_WINDOW
};

}  // namespace orbelix
