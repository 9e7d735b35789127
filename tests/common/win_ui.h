// The Windows tests' hands on the program's windows: the message pump run
// while a window works, the rows of a list control read back, and a window
// saved as a PNG to build/screenshots/.
#pragma once

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "common/window_png.h"
#include "common/wine.h"
#include "platform/win/modeless.h"

namespace testing_ui {

// Dispatches the thread's waiting messages `rounds` times, 20 ms apart, as
// the program's loop does (the modeless windows take their keys first).
inline void Pump(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (platform::TranslateModeless(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
}

// Pumps messages until `done` holds or `ms` have passed; answers `done`.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 20000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        Pump(1);
        if (done()) return true;
    }
    return done();
}

// Pumps messages for `ms`.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

inline std::string CellText(HWND list, int row, int column) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

inline int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// Saves what `window` shows to build/screenshots/<name>.png.
inline void SaveScreenshot(HWND window, const std::string& name) {
    CreateDirectoryA(testing_wine::BuildPath("../screenshots").c_str(), nullptr);
    const std::string png = testing_wine::BuildPath("../screenshots/" + name + ".png");
    EXPECT_TRUE(testing_support::SaveWindowPng(window, std::wstring(png.begin(), png.end()))) << png;
}

}  // namespace testing_ui
