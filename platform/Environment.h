#pragma once

#include <QString>

// What the program checks and fixes about the world it was started in, before any
// window exists.
namespace orbelix {

// Opens /dev/null on any of descriptors 0, 1 and 2 that was closed at start, so that a
// file or connection opened later never lands there (Qt's warnings go to descriptor 2).
void OpenStandardDescriptors();

// The platform plugins asked for, by -platform or QT_QPA_PLATFORM ("" for Qt's default).
QString AskedPlatform(int argc, char* argv[]);

// Why the X display cannot be used, as far as can be told without connecting to it
// ("" when it can, or when another platform than X will be used, or when the command
// line only asks for help or the version, which need no display).
QString DisplayProblem(int argc, char* argv[]);

// From WatchDisplayOpening until DisplayOpened, while QApplication connects: a display
// that cannot be opened ends the program with one line and status 1, where Qt itself
// would abort with a core dump. Looking costs no connection of its own.
void WatchDisplayOpening();
void DisplayOpened();

// Hands memory the program has freed back to the system a moment after a burst of
// input: a flood of clicks queues thousands of events whose memory the allocator would
// otherwise keep for good. Cheap to call on every click.
void ReturnFreedMemorySoon();

}  // namespace orbelix
