// The error window (dialog 250, "Zelto Varnel Error"): one text in a rich
// edit control with 10-pixel margins left and right and automatic link
// detection, and OK. A click on a link (left button released), or Enter
// with the caret or selection in one, opens the link's text with the shell's
// "open" verb when it is a web address. The text is a stop of the Tab key;
// Enter elsewhere presses OK. Only one window exists at a
// time: a new text for an open window replaces its contents and brings it
// to the foreground.
#pragma once

#include <functional>
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
    // Opens a clicked link (the shell's "open" verb; tests record it).
    static std::function<void(const std::string& link)>& LinkOpener();

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace app
