// varnelctl: talks to a running agent of the same logon from the command line.
//   varnelctl exit [SECONDS]   asks it to exit ("WM_Varnel10_Exit") and waits
//                              for its process to end (default 30 s)
//   varnelctl status           tells whether an agent is running
//   varnelctl command ID       has it run a command of its menus as if chosen
//                              there ("WM_Varnel10_Register"), e.g. 32892
//                              Scan Now, 32893 Stop Scan
//   varnelctl memory           prints its private bytes and working set, as
//                              the process's own counters report them
// Exit codes: 0 done / running, 1 no agent found / it did not end in time,
// 2 wrong usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_messages.h"
#include "app/main_frame.h"
#include "app/one_instance.h"
#include "platform/win/handles.h"

#include <psapi.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: varnelctl exit [SECONDS] | status | command ID | memory\n");
        return 2;
    }
    const HWND window = app::COneInstance::FindRunningInstance();
    if (std::strcmp(argv[1], "status") == 0) {
        std::printf(window ? "running\n" : "not running\n");
        return window ? 0 : 1;
    }
    if (std::strcmp(argv[1], "command") == 0) {
        if (argc < 3) return 2;
        if (!window) {
            std::printf("varnelctl: no running agent\n");
            return 1;
        }
        const WPARAM id = std::strtoul(argv[2], nullptr, 10);
        return PostMessageA(window, app::Messages().registerCommand, id, 0) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "memory") == 0) {
        if (!window) {
            std::printf("varnelctl: no running agent\n");
            return 1;
        }
        DWORD agent = 0;
        GetWindowThreadProcessId(window, &agent);
        platform::UniqueHandle target(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, agent));
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!target || !GetProcessMemoryInfo(target.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                             sizeof counters)) {
            std::printf("varnelctl: the agent's counters could not be read\n");
            return 1;
        }
        DWORD_PTR ownKiB = 0;
        const bool asked =
            SendMessageTimeoutA(window, app::CMainFrame::kQueryPrivateKiB, 0, 0, SMTO_ABORTIFHUNG, 5000, &ownKiB) != 0;
        if (asked && static_cast<LRESULT>(ownKiB) >= 0)
            std::printf("private bytes %llu (the agent's own counters)\n",
                        static_cast<unsigned long long>(ownKiB) * 1024);
        std::printf("outside view: private bytes %llu, working set %llu\n",
                    static_cast<unsigned long long>(counters.PrivateUsage),
                    static_cast<unsigned long long>(counters.WorkingSetSize));
        return 0;
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
