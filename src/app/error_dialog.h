// The error window: one text and OK. Only one exists at a time: a new text
// for an open window replaces its contents and brings it to the foreground.
// (A plain read-only text for now; clickable links come with the rest of
// the main window's dialogs.)
#pragma once

#include <string>

#include "platform/win/win.h"

namespace app {

class CErrorDlg {
public:
    // Shows `text` in the error window, creating it (owned by `owner`) when
    // none is open. Line breaks may be "\n" or "\r\n".
    static void Show(HINSTANCE instance, HWND owner, const std::string& text);
    // The open window, or null.
    static HWND Window();
    // Closes the open window, if any.
    static void Close();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace app
