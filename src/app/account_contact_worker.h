// The account contact's worker: a thread of its own that waits for the
// process-wide semaphore "{4BA0D73A-1E72-403f-89AC-372CBBF32569}" (count 1),
// so that one contact runs at a time, runs engine::ContactServer and posts
// the outcome's text (if any) to the main window as a worker's message
// ("WM_Varnel10_SetMessage"). It never touches a window itself.
#pragma once

#include <cstdint>

#include "platform/win/handles.h"
#include "platform/win/win.h"

namespace app {

inline constexpr char kAccountContactSemaphore[] = "{4BA0D73A-1E72-403f-89AC-372CBBF32569}";

// Starts a contact and returns at once: the thread's handle (for a caller
// that waits; closing it does not stop the contact), or none when no thread
// could be made (logged). progressWindow (or null) receives the transport's
// progress messages.
platform::UniqueHandle StartAccountContact(HWND progressWindow, int64_t nextScheduledScan);

}  // namespace app
