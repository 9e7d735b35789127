// Uninstall commands on Windows: file sizes through CreateFile, and starting
// a command line with CreateProcess (or, for a program that must run as
// administrator, through the shell) and waiting for it to end, and for the
// processes it started, found in Toolhelp snapshots.
#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win/win.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include "platform/win/handles.h"
#include "scanners/uninstall_string.h"

namespace scanners {
std::optional<uint64_t> OpenedFileSize(const std::string& path) {
    platform::UniqueFile file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
}

namespace {

constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, which MinGW's headers lack
constexpr DWORD kPollMs = 1000;

// The rights a wait needs; an elevated process grants them to its user.
constexpr DWORD kWaitAccess = PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

std::optional<uint64_t> CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Processes waited for, each held open so that its id stays its own.
struct Followed {
    std::vector<FollowedProcess> processes;
    std::vector<platform::UniqueHandle> handles;
};

// Takes on the processes that followed ones started; false when none.
bool FollowNewProcesses(Followed& followed) {
    platform::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    std::vector<ListedProcess> listed;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        listed.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
    std::vector<std::pair<DWORD, platform::UniqueHandle>> opened;
    const std::vector<FollowedProcess> next =
        ProcessesToFollow(listed, followed.processes, [&opened](uint32_t id) -> std::optional<uint64_t> {
            platform::UniqueHandle process(OpenProcess(kWaitAccess, FALSE, id));
            if (!process) return std::nullopt;
            const std::optional<uint64_t> created = CreationTime(process.get());
            if (created) opened.emplace_back(id, std::move(process));
            return created;
        });
    for (const FollowedProcess& process : next) {
        for (auto& [id, handle] : opened) {
            if (id != process.id || !handle) continue;
            followed.processes.push_back(process);
            followed.handles.push_back(std::move(handle));
            break;
        }
    }
    return !next.empty();
}

// Waits for `started` to end, then for as long as processes it started, and
// theirs, run: until none runs, `done` answers true or the time limit has
// passed. Snapshots are taken while the started process runs too, so that
// the children of a short-lived intermediate process are seen.
void WaitForProcessTree(platform::UniqueHandle started, const UninstallDone& done) {
    Followed followed;
    const HANDLE first = started.get();
    if (const std::optional<uint64_t> created = CreationTime(first)) {
        followed.processes.push_back({GetProcessId(first), *created});
        followed.handles.push_back(std::move(started));
    } else {
        // Without its creation time nothing it started can be told apart.
        WaitForSingleObject(first, INFINITE);
        return;
    }
    ULONGLONG deadline = 0;
    for (;;) {
        std::vector<HANDLE> running;
        for (const platform::UniqueHandle& handle : followed.handles)
            if (WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT) running.push_back(handle.get());
        // Taken after the test above: what an ended process started is listed.
        const bool more = FollowNewProcesses(followed);
        if (running.empty() || running.front() != first) {
            if (deadline == 0) deadline = GetTickCount64() + kStartedProcessesWaitMs;
            if (done && done()) return;
            if (GetTickCount64() >= deadline) return;
        }
        // New processes are waited on from the next round; when nothing
        // else runs, that round comes at once.
        if (running.empty()) {
            if (!more) return;
            continue;
        }
        const DWORD count = static_cast<DWORD>(std::min<size_t>(running.size(), MAXIMUM_WAIT_OBJECTS));
        WaitForMultipleObjects(count, running.data(), FALSE, kPollMs);
    }
}

// The command line with its environment variables expanded: an uninstall
// entry stored as an expandable text names its program as
// "%ProgramFiles%\Foo\uninst.exe", which neither CreateProcess nor the
// shell expands. A variable that is not set stays as it is written.
std::string ExpandedCommand(const std::string& commandLine) {
    if (commandLine.find('%') == std::string::npos) return commandLine;
    const DWORD needed = ExpandEnvironmentStringsA(commandLine.c_str(), nullptr, 0);
    if (needed == 0) return commandLine;
    std::string expanded(needed, '\0');
    const DWORD written = ExpandEnvironmentStringsA(commandLine.c_str(), &expanded[0], needed);
    if (written == 0 || written > needed) return commandLine;
    expanded.resize(std::strlen(expanded.c_str()));
    return expanded;
}

// A program that asks to run as administrator cannot be started by
// CreateProcess from an ordinary user's process; the shell starts it after
// asking the user. Declining counts as not started (ERROR_CANCELLED). The
// command line's variables are expanded.
VN_UninstallString::RunResult RunExpandedThroughShellAndWait(const std::string& commandLine,
                                                             const UninstallDone& done, void* owner) {
    VN_UninstallString::RunResult result;
    const CommandParts parts = SplitCommandLine(commandLine, [](const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    run.hwnd = static_cast<HWND>(owner);
    run.lpFile = parts.program.c_str();
    run.lpParameters = parts.parameters.empty() ? nullptr : parts.parameters.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run) || !run.hProcess) {
        result.error = GetLastError();
        if (result.error == 0) result.error = kElevationRequired;
        result.errorText = platform::SystemMessageText(result.error).value_or(std::string());
        return result;
    }
    WaitForProcessTree(platform::UniqueHandle(run.hProcess), done);
    result.started = true;
    return result;
}

}  // namespace

VN_UninstallString::RunResult RunThroughShellAndWait(const std::string& commandLine, const UninstallDone& done,
                                                     void* owner) {
    return RunExpandedThroughShellAndWait(ExpandedCommand(commandLine), done, owner);
}

VN_UninstallString::RunResult RunCommandAndWait(const std::string& commandLine, const UninstallDone& done,
                                                void* owner) {
    VN_UninstallString::RunResult result;
    const std::string expanded = ExpandedCommand(commandLine);
    std::vector<char> command(expanded.begin(), expanded.end());
    command.push_back('\0');  // CreateProcess may write into the command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        result.error = GetLastError();
        if (result.error == kElevationRequired) return RunExpandedThroughShellAndWait(expanded, done, owner);
        result.errorText = platform::SystemMessageText(result.error).value_or(std::string());
        return result;
    }
    platform::UniqueHandle threadHandle(process.hThread);
    WaitForProcessTree(platform::UniqueHandle(process.hProcess), done);
    result.started = true;
    return result;
}

}  // namespace scanners
