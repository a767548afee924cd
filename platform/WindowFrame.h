#pragma once

#include <QMargins>
#include <optional>

class QWindow;

namespace orbelix {

// The frame the X window manager is going to draw around `window`, learnt before the
// window is shown, in the window's logical pixels: none when nothing frames windows on
// the display, the manager's own estimate when it gives one in time. nullopt when it
// cannot be known (another platform than X, or a manager that does not answer).
// Creates the window's native window if it does not exist yet.
std::optional<QMargins> FrameBeforeShowing(QWindow& window);

}  // namespace orbelix
