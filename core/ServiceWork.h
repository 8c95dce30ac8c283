// Work for the service window's thread from any other thread. The service
// window's thread owns the windows and timers of the program: another thread
// hands it the work (arming a timer, freeing objects whose windows live
// there) instead of doing it in place.
#pragma once

#include <windows.h>

#include <functional>

// The message that carries the work to the service window: its argument is a
// record this process made (win/PostedRecord); any other argument is ignored.
constexpr UINT WM_INK_POSTED_WORK = WM_APP + 24;

// Runs `work` on the service window's thread: at once when called there,
// otherwise posted. False when there is no service window or the post failed:
// the work is then dropped without running.
bool runOnServiceThread(std::function<void()> work);

// For the service window's procedure (and its stand-ins in tests): runs the
// work that `argument` names; false when it names no work of this process.
bool runPostedWork(LPARAM argument);
