#pragma once

#include <functional>

// The desktop's session bus, connected to early.
namespace orbelix {

// The work of connecting to the session bus, to run on a start-up thread while
// QApplication connects to the display. Under X and Wayland, Qt's accessibility bridge
// connects to that bus the moment the window describes its first control, and waits for
// it (5 to 9 ms of every start); made ahead, the connection overlaps the display's and
// the bridge finds it ready: it is Qt's shared connection. Empty where there is no
// bridge (other platforms) and where no bus address is given. Run by the thread that
// PrefetchPictures starts, which has made the main thread Qt's own first.
std::function<void()> SessionBusConnection(int argc, char* argv[]);

}  // namespace orbelix
