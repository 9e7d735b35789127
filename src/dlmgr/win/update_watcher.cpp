#include "dlmgr/win/update_watcher.h"

#include <optional>
#include <vector>

#include "dlmgr/self_update_rules.h"
#include "platform/event_log.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

#include <msi.h>

namespace dlmgr {
namespace {

constexpr DWORD kWatchLimitMs = 60 * 60 * 1000;

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    std::wstring folder(temp, n);
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring ModulePath(HMODULE module) {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::wstring();
        if (n < buf.size()) return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The names of the DLLs this program imports, from its own loaded image.
std::vector<std::string> ImportedDllNames() {
    std::vector<std::string> names;
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return names;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d)
        names.emplace_back(reinterpret_cast<const char*>(base + d->Name));
    return names;
}

// The installed agent's varnel.exe as the Windows Installer knows it: empty
// when the product is not installed or the file is missing.
std::string InstalledProgram() {
    const std::wstring product = platform::Widen(kAgentProductCode);
    const std::wstring component = platform::Widen(kAgentComponentCode);
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(std::size(path));
    if (MsiGetComponentPathW(product.c_str(), component.c_str(), path, &size) != INSTALLSTATE_LOCAL)
        return std::string();
    return platform::AnsiPath(std::wstring(path, size));
}

bool StartProgram(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    const std::wstring folder = FolderOf(program);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace

bool StartUpdateWatcher(HANDLE installer) {
    const std::wstring temp = TempFolder();
    const std::wstring program = ModulePath(nullptr);
    if (temp.empty() || program.empty()) {
        vnlog::Write("The update watcher could not be started: no temporary folder or program path");
        return false;
    }
    const DWORD agentPid = GetCurrentProcessId();
    const std::wstring folder = temp + L"\\" + platform::Widen(kWatcherFolderPrefix) + std::to_wstring(agentPid);
    const std::wstring copy = folder + L"\\varnel.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!CopyFileW(program.c_str(), copy.c_str(), FALSE)) {
        vnlog::Write(textutil::Format("The update watcher could not be copied to %s (error %lu)",
                                      platform::AnsiPath(copy).c_str(), GetLastError()));
        return false;
    }
    // The loader looks beside the program first: every imported DLL found
    // there goes with the copy (the system's own are not there).
    const std::wstring programFolder = FolderOf(program);
    for (const std::string& name : ImportedDllNames()) {
        const std::wstring dll = programFolder + L"\\" + platform::Widen(name);
        if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (!CopyFileW(dll.c_str(), (folder + L"\\" + platform::Widen(name)).c_str(), FALSE)) {
            vnlog::Write("The update watcher's copy of " + name + " failed");
            return false;
        }
    }
    const DWORD installerPid = installer ? GetProcessId(installer) : 0;
    std::wstring commandLine =
        L"\"" + copy + L"\" " +
        platform::Widen(UpdateWatchParameters(installerPid, agentPid, platform::AnsiPath(program)));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    // Started in the temporary folder: a working folder inside the install
    // folder would keep it from being removed.
    if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, temp.c_str(), &startup,
                        &info)) {
        vnlog::Write(textutil::Format("The update watcher could not be started (error %lu)", GetLastError()));
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    vnlog::Write(textutil::Format("Update watcher started: process %lu waits for installer process %lu",
                                  static_cast<unsigned long>(info.dwProcessId),
                                  static_cast<unsigned long>(installerPid)));
    return true;
}

int RunUpdateWatch(uint32_t installerPid, uint32_t agentPid, const std::string& runningProgram) {
    // The watcher's working folder must not be the install folder either.
    const std::wstring temp = TempFolder();
    if (!temp.empty()) SetCurrentDirectoryW(temp.c_str());
    auto open = [](uint32_t pid) {
        return platform::UniqueHandle(pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)
                                          : nullptr);
    };
    const platform::UniqueHandle installer = open(installerPid);
    const platform::UniqueHandle agent = open(agentPid);
    std::vector<HANDLE> waits;
    if (installer) waits.push_back(installer.get());
    if (agent) waits.push_back(agent.get());
    bool timedOut = false;
    if (!waits.empty())
        timedOut =
            WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), TRUE, kWatchLimitMs) == WAIT_TIMEOUT;
    std::optional<uint32_t> exitCode;
    DWORD code = 0;
    if (installer && !timedOut && GetExitCodeProcess(installer.get(), &code) && code != STILL_ACTIVE) exitCode = code;
    const InstallerOutcome outcome = timedOut ? InstallerOutcome::Failed : InstallerOutcomeOf(exitCode);
    const std::string program = AgentToRestart(outcome, InstalledProgram(), runningProgram);
    if (outcome == InstallerOutcome::Failed) {
        platform::EventLog().Report(
            platform::EventKind::Error,
            timedOut ? "Zelto Varnel update: the installer had not ended after an hour; the agent is started again."
                     : textutil::Format("Zelto Varnel update: the installer failed with exit code %lu; the agent "
                                        "is started again.",
                                        static_cast<unsigned long>(code)));
    }
    if (!StartProgram(platform::Widen(program))) {
        platform::EventLog().Report(platform::EventKind::Error,
                                    textutil::Format("Zelto Varnel could not be started again after its update "
                                                     "(%s, error %lu).",
                                                     program.c_str(), GetLastError()));
        return 1;
    }
    return 0;
}

void RemoveLeftoverWatcherFolders() {
    const std::wstring temp = TempFolder();
    if (temp.empty()) return;
    WIN32_FIND_DATAW found;
    const std::wstring pattern = temp + L"\\" + platform::Widen(kWatcherFolderPrefix) + L"*";
    const platform::UniqueFind folders(FindFirstFileW(pattern.c_str(), &found));
    if (!folders) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring folder = temp + L"\\" + found.cFileName;
        WIN32_FIND_DATAW file;
        const platform::UniqueFind files(FindFirstFileW((folder + L"\\*").c_str(), &file));
        if (files) {
            do {
                if (!(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((folder + L"\\" + file.cFileName).c_str());  // fails while in use
            } while (FindNextFileW(files.get(), &file));
        }
        RemoveDirectoryW(folder.c_str());
    } while (FindNextFileW(folders.get(), &found));
}

}  // namespace dlmgr
