// Running work on the user-interface thread from any thread, for the widgets of the framework.
#pragma once

#include <functional>

// True on the application's thread, or anywhere when there is no application object.
bool IsUiThread();

// Runs work on the user-interface thread and returns once it has run: directly when the caller
// is that thread (so the UI thread never waits for itself), otherwise as a blocking queued call,
// which needs the UI thread to be processing events. Without an application object the work
// runs on the caller.
void RunOnUiThread(const std::function<void()>& work);

// Queues work to run on the user-interface thread and returns at once; works run in the order
// they were posted. The work crosses threads through our own lock, so the thread sanitizer
// sees the hand-over; Qt only carries a wake-up call by name. Without an application object
// the work runs on the caller.
void PostToUiThread(std::function<void()> work);
