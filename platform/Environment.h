#pragma once

#include <QString>

// What the program checks and fixes about the world it was started in, before any
// window exists.
namespace orbelix {

// Opens /dev/null on any of descriptors 0, 1 and 2 that was closed at start, so that a
// file or connection opened later never lands there (Qt's warnings go to descriptor 2).
void OpenStandardDescriptors();

// Why the X display cannot be used ("" when it can, or when another platform than X
// will be used, or when the command line only asks for help or the version, which need
// no display). Qt itself would abort with a core dump instead.
// The connection it opened to look stays open until ReleaseDisplayProbe, called once
// QApplication has connected.
QString DisplayProblem(int argc, char* argv[]);
void ReleaseDisplayProbe();

// Hands memory the program has freed back to the system a moment after a burst of
// input: a flood of clicks queues thousands of events whose memory the allocator would
// otherwise keep for good. Cheap to call on every click.
void ReturnFreedMemorySoon();

}  // namespace orbelix
