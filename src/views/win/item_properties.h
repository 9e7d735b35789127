// The "Properties" window of a list item: what the program knows about the
// item, one labelled line each, in a read-only text the user can select and
// copy, with a Close button. One window exists at a time; showing another
// item's properties replaces its contents and brings it forward.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace Views {

class CItemPropertiesWnd {
public:
    // Shows `text` ("label:\tvalue" lines) under the caption `title`.
    static bool Show(HINSTANCE instance, HWND owner, const std::string& title, const std::string& text);
    static void Close();
    // The open window, or null.
    static HWND Window();
    // The text it shows (empty without a window).
    static std::string Text();
};

}  // namespace Views
