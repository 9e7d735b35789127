// The program's modeless windows (settings sheet, about box, error window,
// item properties, download manager) get their keyboard handling (Tab, Enter,
// Esc, access keys) from the message loops: each hands every message to
// TranslateModeless first.
#pragma once

#include "platform/win/win.h"

namespace platform {

enum class ModelessKind { Dialog, Sheet };

void RegisterModeless(HWND window, ModelessKind kind);
void UnregisterModeless(HWND window);
// The closing of a one-of-its-kind modeless dialog box, for its dialog
// procedure: OK or Cancel destroys it, and its destruction unregisters it and
// clears `single`, the pointer its Show keeps. True when `message` was one of
// those and the procedure answers `result`.
bool HandleModelessClose(HWND dialog, UINT message, WPARAM wParam, HWND& single, INT_PTR& result);
// True when one of the modeless windows took the message. A property sheet
// whose OK or Cancel has closed its last page is destroyed here.
bool TranslateModeless(MSG& message);

}  // namespace platform
