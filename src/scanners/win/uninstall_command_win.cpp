// Uninstall commands on Windows: file sizes through CreateFile, and starting
// a command line with CreateProcess (or, for a program that must run as
// administrator, through the shell) and waiting for it to end.
#include <vector>

#include "platform/win/win.h"

#include <shellapi.h>

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

}  // namespace

// A program that asks to run as administrator cannot be started by
// CreateProcess from an ordinary user's process; the shell starts it after
// asking the user. Declining counts as not started (ERROR_CANCELLED).
VN_UninstallString::RunResult RunThroughShellAndWait(const std::string& commandLine) {
    VN_UninstallString::RunResult result;
    const CommandParts parts = SplitCommandLine(commandLine, [](const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    });
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    run.lpFile = parts.program.c_str();
    run.lpParameters = parts.parameters.empty() ? nullptr : parts.parameters.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run) || !run.hProcess) {
        result.error = GetLastError();
        if (result.error == 0) result.error = kElevationRequired;
        result.errorText = platform::SystemMessageText(result.error).value_or(std::string());
        return result;
    }
    platform::UniqueHandle processHandle(run.hProcess);
    WaitForSingleObject(processHandle.get(), INFINITE);
    result.started = true;
    return result;
}

VN_UninstallString::RunResult RunCommandAndWait(const std::string& commandLine) {
    VN_UninstallString::RunResult result;
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');  // CreateProcess may write into the command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        result.error = GetLastError();
        if (result.error == kElevationRequired) return RunThroughShellAndWait(commandLine);
        result.errorText = platform::SystemMessageText(result.error).value_or(std::string());
        return result;
    }
    platform::UniqueHandle processHandle(process.hProcess);
    platform::UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    result.started = true;
    return result;
}

}  // namespace scanners
