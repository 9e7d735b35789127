// Where the main window opens: the stored "Window Rect ..." values, or a
// window of the screen's size divided by 1.4, centred. The program reads these
// values and never writes them; they are there for administrators.
#pragma once

#include <cstdint>

#include "platform/settings.h"

namespace appcore {

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const WindowRect& other) const {
        return left == other.left && top == other.top && width == other.width && height == other.height;
    }
};

// The default: width and height the screen's divided by 1.4, centred.
WindowRect DefaultWindowRect(int32_t screenWidth, int32_t screenHeight);

// The stored placement, each missing value taking its default. When any of
// the four is negative or larger than the screen (top and height against its
// height, left and width against its width), all four defaults are used.
WindowRect MainWindowRect(const platform::Settings& settings, int32_t screenWidth, int32_t screenHeight);

// The window style: "Window Style" when stored, else the frame's own. A stored
// style never makes the frame disabled, a child (which cannot exist without a
// parent) or visible before start-up ends.
uint32_t MainWindowStyle(const platform::Settings& settings, uint32_t frameStyle);

}  // namespace appcore
