#include "views/win/uninstall_runner.h"

#include <process.h>

#include <atomic>
#include <utility>

#include "platform/log.h"
#include "platform/win/com.h"
#include "scanners/uninstall_string.h"

namespace Views {
namespace {

std::atomic<bool> g_busy{false};

struct Job {
    std::string command;
    HWND window;
    UINT message;
    std::function<bool()> done;
};

unsigned __stdcall RunJob(void* raw) {
    Job* job = static_cast<Job*>(raw);
    bool ran = false;
    try {
        // An uninstaller that needs an administrator goes through the shell,
        // which wants COM on the thread; the consent is asked over the
        // program's window, so that it comes to the front.
        const platform::ComInit com;
        HWND owner = job->window ? GetAncestor(job->window, GA_ROOT) : nullptr;
        ran = VN_UninstallString::RunUninstallCommand(job->command, [job, owner](const std::string& line) {
            return scanners::RunCommandAndWait(line, job->done, owner);
        });
    } catch (...) {
        vnlog::Warning("CUninstallRunner::RunJob", true);
    }
    // The next uninstall may start as soon as this one has ended.
    g_busy = false;
    PostMessageA(job->window, job->message, ran ? 1 : 0, 0);
    delete job;
    return 0;
}

}  // namespace

bool CUninstallRunner::Busy() { return g_busy.load(); }

bool CUninstallRunner::Start(const std::string& command, HWND window, UINT message, std::function<bool()> done) {
    bool expected = false;
    if (command.empty() || !g_busy.compare_exchange_strong(expected, true)) return false;
    auto* job = new Job{command, window, message, std::move(done)};
    const uintptr_t thread = _beginthreadex(nullptr, 0, RunJob, job, 0, nullptr);
    if (!thread) {
        delete job;
        g_busy = false;
        vnlog::Write("*** Error: the uninstall thread could not be created");
        return false;
    }
    // Nobody joins the thread: it owns its job, and at exit the process
    // ends it with everything else rather than wait for an uninstaller.
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

}  // namespace Views
