// The floor of the idle measurement: a bare Win32 program with the agent's
// thread shape after a check and nothing else. It creates a hidden top-level
// window with the common controls loaded, runs one short thread to its end
// (as a check's worker does; the report fetch thread has ended too by the
// time the agent idles), settles, and prints its private bytes counted as the
// agent counts its own:
//   floor private bytes N
// Under Wine much of that is per thread: each thread's stack is committed in
// full (at least 1 MB) with a 1 MB kernel stack beside it, and the last thread
// that ended keeps both. Usage: bench_idle_floor_win [SETTLE_MS]
#include "platform/win/win.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win/process_memory.h"

namespace {

DWORD WINAPI ShortWork(void*) { return 0; }

void Pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    MSG message;
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const DWORD settle = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 1000;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND window = CreateWindowExW(0, L"STATIC", L"floor", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HANDLE shortOne = CreateThread(nullptr, 0, ShortWork, nullptr, 0, nullptr);
    if (!window || !shortOne) {
        std::fprintf(stderr, "bench_idle_floor_win: set-up failed (%lu)\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(shortOne, INFINITE);
    CloseHandle(shortOne);
    Pump(settle);
    std::printf("floor private bytes %zu\n", platform::PrivateBytes());
    DestroyWindow(window);
    return 0;
}
