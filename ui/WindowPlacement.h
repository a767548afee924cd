#pragma once

#include <QMargins>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QEvent;

namespace orbelix {

// The main window on its screen: the frame the window system draws around it, the
// window's outer size that the game centres its pictures on, its place in the middle of
// the screen, and the zoom that both windows and every picture control follow.
class WindowPlacement {
  public:
    // `client` is the window's own size at zoom 1; `framed` runs when the frame turns out
    // other than the one the centred pictures were placed with.
    WindowPlacement(QWidget& window, QSize client, std::function<void()> framed);

    // The frame around the window: the window system's once it has framed (or shown) the
    // window, else the frame it is expected to draw.
    QMargins frameMargins() const;
    // Replaces the expected frame of the platform (tests); nullopt puts it back.
    static void SetAssumedFrame(std::optional<QMargins> frame);
    // The window's outer size in logical pixels, frame and caption included. The frame
    // keeps its size at every zoom, so the layout is the same at every zoom.
    QSize outerSize() const;
    // Puts the window in the middle of its screen by its outer size, except under
    // Wayland, where the compositor places windows. Called before the window is first
    // shown, it learns the frame first.
    void centreOnScreen();
    // The pictures centred on the outer size have just been placed with the frame of now.
    void placed() { placedWith_ = frameMargins(); }
    // The window's events that may bring its frame: show, move, paint.
    void follow(const QEvent& event);

    // The zoom kept in the settings (the one in use may differ for one run).
    int16_t storedZoom() const { return storedZoom_; }
    void setStoredZoom(int16_t zoom) { storedZoom_ = zoom; }
    // Whether the window, at the given zoom, fits on its screen.
    bool zoomFits(int zoom) const;
    // Both windows and every picture control take the zoom at once and the windows stay
    // centred. A zoom whose window would not fit is refused (false, nothing changes).
    // With `remember` it is also the zoom kept in the settings.
    bool setZoom(int zoom, bool remember);
    // The kept zoom, or the largest below it that fits on this screen, for this run.
    void applyStoredZoom();
    // A zoom key: +1 larger, -1 smaller, 0 back to the game's own size.
    void zoomBy(int step);

  private:
    // Before the window is first shown under X: asks what frame it will get, so that
    // the first frame painted already has everything in its final place.
    void learnFrame();
    void followFrame();

    QWidget& window_;
    QSize client_;
    std::function<void()> framed_;
    int16_t storedZoom_ = 1;
    mutable bool frameGiven_ = false;
    bool asked_ = false;
    std::optional<QMargins> learnt_;  // the frame the window manager said it will draw
    QMargins placedWith_;           // the frame the centred pictures were placed with
    bool centredOnScreen_ = false;  // placed by centreOnScreen, not yet framed
};

}  // namespace orbelix
