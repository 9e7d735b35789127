// Uninstall commands started from the software view. The uninstaller runs on
// a thread of its own, never on the user-interface thread: the program waits
// for it to end, which may take as long as the user takes to answer the
// uninstaller's own questions, and the tray and every window must keep
// answering meanwhile. One uninstaller runs at a time across the process.
#pragma once

#include <functional>
#include <string>

#include "platform/win/win.h"

namespace Views {

class CUninstallRunner {
public:
    // True from Start until the command has ended (or could not start).
    static bool Busy();
    // Starts `command` on a new thread and answers at once; false (nothing
    // started) while another one runs or when no thread can be had. The
    // command has ended when its process and the processes it started have
    // ended, or, once its own process has ended, as soon as `done` (asked
    // on the runner's thread about once a second) answers true. Then
    // `message` is posted to `window` with wParam 1 when the process ran, 0
    // when it could not be started (which the command's runner logs as
    // "*** ExeCommand failed: ..."). The window may be gone by then; the
    // post then fails quietly.
    static bool Start(const std::string& command, HWND window, UINT message, std::function<bool()> done = {});
};

}  // namespace Views
