#pragma once

#include <functional>

// The save a program makes on its way out, however it goes: by exit() (Qt's answer to a
// broken X connection) or when Qt reports a broken Wayland connection (after which it
// ends the program at once, without exit()'s handlers). The save runs on the main thread;
// from another thread it is handed to the main thread and waited for a few seconds, and
// if the main thread does not get to it, the change of the save under way is kept aside.
namespace orbelix::ExitSave {

// The save to make, on behalf of `owner`; the last one registered counts. Call on the
// main thread.
void Register(const void* owner, std::function<void()> save);
// Forgets the save, if it is still `owner`'s.
void Unregister(const void* owner);

// Makes the registered save now, once, from any thread.
void Run();

}  // namespace orbelix::ExitSave
