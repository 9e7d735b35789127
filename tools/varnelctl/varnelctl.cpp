// varnelctl: talks to a running agent of the same logon from the command line.
//   varnelctl exit [SECONDS]   asks it to exit ("WM_Varnel10_Exit") and waits
//                              for its process to end (default 30 s)
//   varnelctl status           tells whether an agent is running
// Exit codes: 0 done / running, 1 no agent found / it did not end in time,
// 2 wrong usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_messages.h"
#include "app/one_instance.h"
#include "platform/win/handles.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: varnelctl exit [SECONDS] | varnelctl status\n");
        return 2;
    }
    const HWND window = app::COneInstance::FindRunningInstance();
    if (std::strcmp(argv[1], "status") == 0) {
        std::printf(window ? "running\n" : "not running\n");
        return window ? 0 : 1;
    }
    if (std::strcmp(argv[1], "exit") != 0) {
        std::fprintf(stderr, "varnelctl: unknown command: %s\n", argv[1]);
        return 2;
    }
    if (!window) {
        std::printf("varnelctl: no running agent\n");
        return 1;
    }
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 30;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    platform::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!PostMessageA(window, app::Messages().exit, 0, 0)) {
        std::printf("varnelctl: could not reach the agent\n");
        return 1;
    }
    if (process && WaitForSingleObject(process.get(), seconds * 1000) != WAIT_OBJECT_0) {
        std::printf("varnelctl: the agent did not exit within %lu s\n", static_cast<unsigned long>(seconds));
        return 1;
    }
    std::printf("varnelctl: the agent exited\n");
    return 0;
}
