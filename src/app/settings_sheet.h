// CVarnelDlg: the settings sheet ("Zelto Varnel Settings"), modeless and one
// at a time. Its pages: COptionsPane ("General"), CAutoUpdate ("Automatic
// Update") and, when the frame is interactive, CSystemInfoPane ("System
// Info"), the watch list's scan page and CDownloadOptions ("Download").
// It opens on "Last Active Page", stores the page on every system-menu
// command, and rewrites "VNPrefs.ini" when it is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/win.h"

namespace app {

class CVarnelDlg {
public:
    // What the sheet tells the rest of the program.
    struct Hooks {
        // "General" applied a new frequency index (the frame's `frequency`
        // and its idle status text follow it).
        std::function<void(uint32_t frequency)> frequencyChanged;
        // "General" applied a new frequency: register the computer again.
        std::function<void()> registerAgain;
        // Starts "Faultwick.exe" with "/on" or "/off" (tests record it).
        std::function<void(const std::string& program, const std::string& argument)> runProgram;
    };
    static Hooks& Callbacks();

    // Opens the sheet on its remembered page, or brings the open one forward.
    static void Show(HINSTANCE instance, HWND owner, bool interactive);
    // The open sheet, or null.
    static HWND Window();
    static void Close();

    // The shortcut of the program in the user's and the all-users' Startup
    // folders (the title + ".lnk").
    static std::string UserStartupShortcut();
    static std::string CommonStartupShortcut();
};

}  // namespace app
