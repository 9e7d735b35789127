// Uninstall commands on Windows: file sizes through CreateFile, and starting
// a command line with CreateProcess and waiting for it to end.
#include <vector>

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

VN_UninstallString::RunResult RunCommandAndWait(const std::string& commandLine) {
    VN_UninstallString::RunResult result;
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');  // CreateProcess may write into the command line
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        result.error = GetLastError();
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
