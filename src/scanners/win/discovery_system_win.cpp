#include "scanners/win/discovery_system_win.h"

#include <cctype>
#include <exception>
#include <string_view>
#include <vector>

#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace scanners {

namespace {

constexpr DWORD kPathChars = MAX_PATH;
constexpr DWORD kFirstProcessBufferBytes = 1024;
// More identifiers than this are not believed: the doubling ends there.
constexpr DWORD kMaxProcessBufferBytes = 1u << 24;

template <typename Fn>
bool Find(HMODULE library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return fn != nullptr;
}

// Text of a fixed buffer up to its terminator.
std::string FromBuffer(const char* buffer, size_t chars) {
    size_t length = 0;
    while (length < chars && buffer[length] != '\0') ++length;
    return std::string(buffer, length);
}

std::wstring_view FromBuffer(const wchar_t* buffer, size_t chars) {
    size_t length = 0;
    while (length < chars && buffer[length] != L'\0') ++length;
    return std::wstring_view(buffer, length);
}

// A path the system gave in UTF-16, as the rest of the program can open it
// (its short form where the ANSI code page cannot name a folder or file).
std::string PathFromBuffer(const wchar_t* buffer, size_t chars) {
    return platform::AnsiPath(FromBuffer(buffer, chars));
}

// msi.dll's shortcut functions, loaded on first use and kept for the life of
// the process.
struct MsiShortcutFunctions {
    using GetShortcutTargetFn = UINT(WINAPI*)(LPCSTR, LPSTR, LPSTR, LPSTR);
    using GetComponentPathFn = INSTALLSTATE(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, LPDWORD);

    MsiShortcutFunctions() {
        HMODULE library = LoadLibraryA("msi.dll");
        if (library == nullptr) return;
        if (!Find(library, "MsiGetShortcutTargetA", getShortcutTarget) ||
            !Find(library, "MsiGetComponentPathW", getComponentPath)) {
            getShortcutTarget = nullptr;
            getComponentPath = nullptr;
        }
    }
    bool Loaded() const { return getShortcutTarget != nullptr && getComponentPath != nullptr; }

    GetShortcutTargetFn getShortcutTarget = nullptr;
    GetComponentPathFn getComponentPath = nullptr;
};

const MsiShortcutFunctions& MsiShortcuts() {
    static const MsiShortcutFunctions functions;
    return functions;
}

// The installer's view of an advertised shortcut. True when the installer
// gave the target; the product and component are filled whenever the
// shortcut is an installer shortcut.
bool ResolveInstallerShortcut(const std::string& path, ShortcutInfo& info) {
    const MsiShortcutFunctions& msi = MsiShortcuts();
    if (!msi.Loaded()) return false;
    char product[39] = {};
    char feature[39] = {};
    char component[39] = {};
    if (msi.getShortcutTarget(path.c_str(), product, feature, component) != ERROR_SUCCESS) return false;
    info.productCode = FromBuffer(product, sizeof product);
    info.componentGuid = FromBuffer(component, sizeof component);
    wchar_t target[kPathChars] = {};
    DWORD chars = kPathChars;
    const INSTALLSTATE state = msi.getComponentPath(platform::Widen(info.productCode).c_str(),
                                                    platform::Widen(info.componentGuid).c_str(), target, &chars);
    if (state == INSTALLSTATE_BADCONFIG || state == INSTALLSTATE_INVALIDARG || state == INSTALLSTATE_UNKNOWN)
        return false;
    info.target = PathFromBuffer(target, kPathChars);
    return true;
}

HRESULT LoadShellLink(const std::string& path, platform::ComPtr<IShellLinkW>& link) {
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.GetAddressOf()));
    if (FAILED(hr)) return hr;
    platform::ComPtr<IPersistFile> file;
    hr = link.As(&file);
    if (FAILED(hr)) return hr;
    return file->Load(platform::Widen(path).c_str(), STGM_READ);
}

// Whether the loaded link may carry an installer descriptor: only such links
// are worth a second load by the installer. True when the link cannot say.
bool MayBeInstallerShortcut(IShellLinkW* link) {
    platform::ComPtr<IShellLinkDataList> data;
    DWORD flags = 0;
    if (FAILED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(data.GetAddressOf()))) ||
        FAILED(data->GetFlags(&flags)))
        return true;
    return (flags & SLDF_HAS_DARWINID) != 0;
}

// Read through the UTF-16 interface, so that a target in a folder named
// outside the ANSI code page comes back as a path that opens (see AnsiPath);
// the arguments and description are text and take the nearest 8-bit form.
HRESULT ReadShellLink(IShellLinkW* link, ShortcutInfo& info) {
    wchar_t buffer[kPathChars] = {};
    HRESULT hr = S_OK;
    if (info.target.empty()) {
        WIN32_FIND_DATAW data = {};
        hr = link->GetPath(buffer, kPathChars, &data, SLGP_UNCPRIORITY);
        if (FAILED(hr)) return hr;
        info.target = PathFromBuffer(buffer, kPathChars);
    }
    buffer[0] = L'\0';
    hr = link->GetArguments(buffer, kPathChars);
    if (FAILED(hr)) return hr;
    info.arguments = platform::Narrow(FromBuffer(buffer, kPathChars));
    buffer[0] = L'\0';
    hr = link->GetDescription(buffer, kPathChars);
    if (FAILED(hr)) return hr;
    info.description = platform::Narrow(FromBuffer(buffer, kPathChars));
    return S_OK;
}

}  // namespace

// ------------------------------------------------------------------ shortcuts

LinkResult GetLinkInfo(const std::string& path, ShortcutInfo& info) {
    info = ShortcutInfo();
    // The shell link object (and the installer's reading of the link) needs
    // COM on this thread. On a thread that has it this only counts up and
    // down; on one without, COM lives for this call. Declared first, so that
    // every COM pointer below is released before it ends.
    const platform::ComInit com;
    try {
        // The installer answers first for its own shortcuts. It loads the
        // link itself, so it is asked only when the link carries an installer
        // descriptor (or when the link could not be loaded here).
        platform::ComPtr<IShellLinkW> link;
        HRESULT hr = LoadShellLink(path, link);
        if ((FAILED(hr) || MayBeInstallerShortcut(link.Get())) && ResolveInstallerShortcut(path, info))
            return kLinkOk;
        if (SUCCEEDED(hr)) hr = ReadShellLink(link.Get(), info);
        return SUCCEEDED(hr) ? kLinkOk : static_cast<LinkResult>(hr);
    } catch (const std::exception& error) {
        vnlog::WriteRaw(std::string("*** Warning caught exception in GetLinkInfo: ") + error.what());
    } catch (...) {
        vnlog::WriteRaw("*** Warning caught exception in GetLinkInfo:  in catch all block.");
    }
    return kLinkFail;
}

// ------------------------------------------------------------------ processes

void EnumerateProcessesNt(const ProcessStep& step) {
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
    using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

    // PSAPI alone lists the processes. VDMDBG.DLL is not needed: the 16-bit
    // tasks it would add are never seen by a 64-bit agent, and a system
    // without that library still has its processes listed.
    platform::UniqueLibrary psapi(LoadLibraryA("PSAPI.DLL"));
    if (!psapi) return;
    EnumProcessesFn enumProcesses = nullptr;
    EnumProcessModulesFn enumProcessModules = nullptr;
    GetModuleFileNameExFn getModuleFileNameEx = nullptr;
    if (!Find(psapi.get(), "EnumProcesses", enumProcesses) ||
        !Find(psapi.get(), "EnumProcessModules", enumProcessModules) ||
        !Find(psapi.get(), "GetModuleFileNameExW", getModuleFileNameEx))
        return;

    // Since Vista a process's program can be asked for with the least right
    // there is, which a process of another user or an elevated one still
    // grants; reading its module list needs more, which they refuse.
    QueryImageNameFn queryImageName = nullptr;
    if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) Find(kernel, "QueryFullProcessImageNameW", queryImageName);

    std::vector<DWORD> ids(kFirstProcessBufferBytes / sizeof(DWORD));
    DWORD bytes = 0;
    for (;;) {
        const DWORD size = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!enumProcesses(ids.data(), size, &bytes)) return;
        // A full buffer may have cut the list short: ask again with twice the room.
        if (bytes < size || size >= kMaxProcessBufferBytes) break;
        ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));

    for (const DWORD id : ids) {
        std::string path;
        wchar_t name[kPathChars] = {};
        if (queryImageName) {
            platform::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
            DWORD length = kPathChars;
            if (process && queryImageName(process.get(), 0, name, &length) && length < kPathChars)
                path = platform::AnsiPath(std::wstring_view(name, length));
        }
        if (path.empty()) {
            platform::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
            HMODULE module = nullptr;
            DWORD needed = 0;
            if (process && enumProcessModules(process.get(), &module, sizeof module, &needed)) {
                const DWORD length = getModuleFileNameEx(process.get(), module, name, kPathChars);
                if (length > 0 && length < kPathChars) path = platform::AnsiPath(std::wstring_view(name, length));
            }
        }
        if (!step(id, path)) break;
    }
}

void EnumerateProcessesToolhelp(const ProcessStep& step) {
    using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, tagPROCESSENTRY32*);

    platform::UniqueLibrary kernel(LoadLibraryA("Kernel32.DLL"));
    if (!kernel) return;
    SnapshotFn snapshot = nullptr;
    ProcessWalkFn first = nullptr;
    ProcessWalkFn next = nullptr;
    if (!Find(kernel.get(), "CreateToolhelp32Snapshot", snapshot) || !Find(kernel.get(), "Process32First", first) ||
        !Find(kernel.get(), "Process32Next", next))
        return;
    platform::UniqueFile processes(snapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes) return;
    tagPROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = first(processes.get(), &entry); more; more = next(processes.get(), &entry)) {
        if (!step(entry.th32ProcessID, FromBuffer(entry.szExeFile, sizeof entry.szExeFile))) break;
        entry.dwSize = sizeof entry;
    }
}

HWND FirstVisibleWindowOf(uint32_t processId) {
    struct Search {
        DWORD processId;
        HWND found;
    } search = {processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId || !IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ------------------------------------------------------------------- folders

std::string ShellFolderPathOf(int csidl) {
    PIDLIST_ABSOLUTE location = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &location)) || location == nullptr) return std::string();
    wchar_t path[kPathChars] = {};
    const BOOL found = SHGetPathFromIDListW(location, path);
    CoTaskMemFree(location);
    return found ? PathFromBuffer(path, kPathChars) : std::string();
}

bool IsWalkableFolder(DWORD attributes, DWORD reparseTag) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
    // Junctions, mount points and symbolic links name another folder, which
    // may be an ancestor: a walk that followed them could go round until the
    // path is too long. Other reparse points (cloud placeholders, for one)
    // hold their own contents. A tag of zero is reserved and never set on a
    // real reparse point; a system that does not report the tag is taken to
    // mean a link, so that the walk cannot loop through it.
    return reparseTag != 0 && !IsReparseTagNameSurrogate(reparseTag);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    const std::string pattern = folder + (!folder.empty() && folder.back() == '\\' ? "*.*" : "\\*.*");
    WIN32_FIND_DATAW data = {};
    platform::UniqueFind find(FindFirstFileW(platform::Widen(pattern).c_str(), &data));
    if (!find) return entries;
    std::string name;
    do {
        // A name the ANSI code page cannot hold goes by its short name, the
        // one 8-bit name that opens it; without one the entry is out of reach.
        const std::wstring_view wide = FromBuffer(data.cFileName, MAX_PATH);
        if (!platform::ToAnsiExactly(wide, name)) {
            const std::wstring_view alternate = FromBuffer(data.cAlternateFileName, 14);
            if (alternate.empty() || !platform::ToAnsiExactly(alternate, name)) continue;
        }
        if (name == "." || name == "..") continue;
        entries.push_back({name, IsWalkableFolder(data.dwFileAttributes, data.dwReserved0)});
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

// ------------------------------------------------------------------- system

void CWinDiscoverySystem::PrepareForScan() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

bool CWinDiscoverySystem::IsNtFamily() { return (GetVersion() & 0x80000000u) == 0; }

std::string CWinDiscoverySystem::SpecialFolderPath(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::StartMenu: return ShellFolderPathOf(CSIDL_STARTMENU);
        case SpecialFolder::CommonStartMenu: return ShellFolderPathOf(CSIDL_COMMON_STARTMENU);
        case SpecialFolder::AppData: return ShellFolderPathOf(CSIDL_APPDATA);
        case SpecialFolder::Desktop: return ShellFolderPathOf(CSIDL_DESKTOPDIRECTORY);
        case SpecialFolder::Recent: return ShellFolderPathOf(CSIDL_RECENT);
    }
    return std::string();
}

LinkResult CWinDiscoverySystem::ResolveShortcut(const std::string& path, ShortcutInfo& info) {
    return GetLinkInfo(path, info);
}

std::string CWinDiscoverySystem::ProgramForDocument(const std::string& document) {
    wchar_t program[kPathChars] = {};
    const HINSTANCE result = FindExecutableW(platform::Widen(document).c_str(), L"", program);
    if (reinterpret_cast<INT_PTR>(result) <= 32) return std::string();
    return PathFromBuffer(program, kPathChars);
}

bool CWinDiscoverySystem::IsNetworkPath(const std::string& path) {
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    std::string_view rest = path;
    if (rest.size() >= 4 && slash(rest[0]) && slash(rest[1]) && (rest[2] == '?' || rest[2] == '.') && slash(rest[3])) {
        // "\\?\UNC\server\share" is a UNC path; "\\?\C:\..." a drive path.
        rest.remove_prefix(4);
        if (rest.size() >= 4 && textutil::StartsWithNoCase(rest, "UNC") && slash(rest[3])) return true;
    } else if (rest.size() >= 2 && slash(rest[0]) && slash(rest[1])) {
        return true;
    }
    if (rest.size() < 2 || rest[1] != ':' || !std::isalpha(static_cast<unsigned char>(rest[0]))) return false;
    // The drive table answers without reaching the share behind the drive.
    const wchar_t root[] = {static_cast<wchar_t>(rest[0]), L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

void CWinDiscoverySystem::EnumerateProcesses(const ProcessStep& step) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) EnumerateProcessesNt(step);
    else if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) EnumerateProcessesToolhelp(step);
}

bool CWinDiscoverySystem::HasVisibleWindow(uint32_t processId) { return FirstVisibleWindowOf(processId) != nullptr; }

namespace {

// COM for the thread: the shell link is an apartment object.
class SecondThreadScope final : public ThreadScope {
    const platform::ComInit com_;
};

}  // namespace

std::unique_ptr<ThreadScope> CWinDiscoverySystem::EnterSecondThread() { return std::make_unique<SecondThreadScope>(); }

std::unique_ptr<IDiscoverySystem> MakePlatformDiscoverySystem() { return std::make_unique<CWinDiscoverySystem>(); }

}  // namespace scanners
