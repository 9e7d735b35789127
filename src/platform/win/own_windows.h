// What the program's own windows share: their classes, registered once per
// module (the second window of a class finds it registered and uses it), and
// the place a dialog box opens and its taskbar button.
#pragma once

#include "platform/win/win.h"

namespace platform {

// The background of a class's windows: none (the window procedure paints
// all of it) or a system colour such as COLOR_WINDOW.
constexpr int kNoBackground = -1;

// Registers `name` for `procedure` with the arrow cursor, unless this module
// has it already; false when it could not be registered.
bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, int background = kNoBackground);

// Centres a dialog box on its owner, or on the screen's work area when it has
// no owner or the owner is hidden (the main window usually is).
void CentreOnOwnerOrScreen(HWND dialog);

// Gives a window owned by the hidden main window a taskbar button of its own,
// with the icon `iconId` of `instance`, so that a window covered by others
// can be found again. Call before the window is first shown.
void ShowOnTaskbar(HWND window, HINSTANCE instance, int iconId);

// The colour a warning (an update, an error) is drawn in: `colour`, or the
// system's window text colour while High Contrast is on, where the user's
// colours decide and a fixed red may vanish against the background.
COLORREF WarningColour(COLORREF colour);

// Passes a change of the system's colours on to every window inside
// `window` (the common controls repaint only when told) and repaints it.
void ForwardSysColorChange(HWND window);

}  // namespace platform
