// How a worker thread tells the user-interface thread about a failure: the
// text is copied into a text block (platform/text_block.h) and posted to the
// application's main window as "WM_Varnel10_SetMessage" (wParam the block,
// lParam 0). The receiver frees the block. Posting never blocks the worker
// and never throws.
#pragma once

#include <string>

#include "platform/notifier.h"

namespace platform {

// The window that receives the worker's messages (the main frame's window),
// or null while there is none. Any thread may read it.
void SetMainWindow(platform::WindowHandle window);
platform::WindowHandle MainWindow();

// Posts the text to the main window as it is at the moment of the call. False
// when there is no main window or the post failed; the block is then freed
// here. A failure is logged as "*** Error PostSafeMessage(CString&):".
bool PostSafeMessage(const std::string& text);
// The same with a string-table text ("*** Error PostSafeMessage(UIND):").
bool PostSafeMessage(int stringId);

}  // namespace platform
