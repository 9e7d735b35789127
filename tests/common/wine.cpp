#include "common/wine.h"

#include <windows.h>
// (after windows.h)
#include <tlhelp32.h>

#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace testing_wine {

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = (!unixPath.empty() && unixPath[0] == '/' ? "Z:" : "") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string BuildPath(const std::string& relative) {
    return WindowsPathOf(std::string(VARNEL_BINARY_DIR) + "/" + relative);
}

std::string UnixPathOf(const std::string& windowsPath) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) return std::string();
    char* name = unixName(platform::Widen(windowsPath).c_str());
    const std::string text = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

namespace {

bool StartProcess(const std::string& commandLine, const std::string& program, PROCESS_INFORMATION& info) {
    std::string command = commandLine;  // CreateProcess may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.empty() ? nullptr : program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info) != 0;
}

}  // namespace

long RunAndWait(const std::string& commandLine, std::chrono::milliseconds limit) {
    PROCESS_INFORMATION info = {};
    if (!StartProcess(commandLine, std::string(), info)) return -1;
    platform::UniqueHandle process(info.hProcess), thread(info.hThread);
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

bool Start(const std::string& commandLine, const std::string& program) {
    PROCESS_INFORMATION info = {};
    if (!StartProcess(commandLine, program, info)) return false;
    platform::UniqueHandle process(info.hProcess), thread(info.hThread);
    return true;
}

void EndProcessesNamed(const std::wstring& fileName) {
    platform::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, fileName.c_str()) != 0) continue;
        platform::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        TerminateProcess(process.get(), 9);
        WaitForSingleObject(process.get(), 5000);
    }
}

}  // namespace testing_wine
