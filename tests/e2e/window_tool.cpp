// window_tool: what the end-to-end scripts do to a running agent's windows
// from outside its process, in the same Wine session.
//   window_tool notify-update             posts "WM_Varnel10_AutoUpdateNotify" to
//                                         the agent, as a click on its tray icon
//                                         or on the offer's balloon does
//   window_tool capture TITLE FILE [SECONDS]
//                                         waits for a visible dialog with that
//                                         caption, prints its texts, one a line,
//                                         and saves what it shows as a PNG
//   window_tool press TITLE ID            clicks the dialog's button ID (6 Yes, 7 No)
//   window_tool screen FILE               saves the whole screen as a PNG
//   window_tool balloon FILE [SECONDS]    saves a visible balloon tip as a PNG;
//                                         exit code 1 when none shows
// Exit codes: 0 done, 1 not found or not saved, 2 wrong usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_messages.h"
#include "app/one_instance.h"
#include "common/window_png.h"

#include <commctrl.h>

namespace {

struct Search {
    const char* title;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window)) return TRUE;
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, search->className) != 0) return TRUE;
    if (search->title) {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        if (std::strcmp(text, search->title) != 0) return TRUE;
    } else if (!(GetWindowLongA(window, GWL_STYLE) & TTS_BALLOON)) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND WaitFor(const char* title, const char* className, DWORD seconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        Search search{title, className, nullptr};
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (GetTickCount() - start > seconds * 1000) return nullptr;
        Sleep(100);
    }
}

BOOL CALLBACK PrintText(HWND child, LPARAM) {
    char text[1024] = {};
    GetWindowTextA(child, text, sizeof text);
    if (text[0] && IsWindowVisible(child)) std::printf("%s\n", text);
    return TRUE;
}

bool Save(HWND window, const char* file) {
    const std::string path = file;
    return testing_support::SaveWindowPng(window, std::wstring(path.begin(), path.end()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string command = argv[1];
    if (command == "notify-update") {
        const HWND agent = app::COneInstance::FindRunningInstance();
        return agent && PostMessageA(agent, app::Messages().autoUpdateNotify, 0, 0) ? 0 : 1;
    }
    if (command == "capture" && argc >= 4) {
        const DWORD seconds = argc > 4 ? static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)) : 30;
        const HWND dialog = WaitFor(argv[2], "#32770", seconds);
        if (!dialog) {
            std::printf("window_tool: no dialog \"%s\"\n", argv[2]);
            return 1;
        }
        Sleep(500);  // let it finish drawing
        EnumChildWindows(dialog, PrintText, 0);
        std::fflush(stdout);
        return Save(dialog, argv[3]) ? 0 : 1;
    }
    if (command == "press" && argc >= 4) {
        const HWND dialog = WaitFor(argv[2], "#32770", 5);
        const HWND button = dialog ? GetDlgItem(dialog, std::atoi(argv[3])) : nullptr;
        if (!button) return 1;
        PostMessageA(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "screen" && argc >= 3) return Save(GetDesktopWindow(), argv[2]) ? 0 : 1;
    if (command == "balloon" && argc >= 3) {
        const DWORD seconds = argc > 3 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 10;
        const HWND balloon = WaitFor(nullptr, TOOLTIPS_CLASSA, seconds);
        if (!balloon) return 1;
        Sleep(500);
        return Save(balloon, argv[2]) ? 0 : 1;
    }
    return 2;
}
