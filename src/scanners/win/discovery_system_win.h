// Program discovery's Windows side: special folders through the shell,
// shortcuts through msi.dll (installer shortcuts) and the shell link object,
// document associations through FindExecutable, and the running processes
// through PSAPI (NT family) or the toolhelp functions (95 family), all entry
// points of the optional libraries loaded by name, so that a system without
// them merely has fewer sources.
//
// Shortcut resolution initialises COM on the calling thread for the length of
// the call when the thread has not done so, so that any thread may resolve
// shortcuts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/win.h"
#include "scanners/discovery_system.h"

namespace scanners {

using ProcessStep = std::function<bool(uint32_t id, const std::string& path)>;

// Resolves a shortcut: an installer shortcut gives its product and component
// and the component's path; otherwise (or when the installer cannot say where
// the component is) the shell link gives the target (UNC form preferred),
// arguments and description. kLinkOk, or the first failing COM result.
LinkResult GetLinkInfo(const std::string& path, ShortcutInfo& info);

// The NT family's enumeration: EnumProcesses into a buffer doubled until it
// holds every identifier, each process's first module as its path. Nothing
// when PSAPI.DLL lacks one of the entry points.
void EnumerateProcessesNt(const ProcessStep& step);
// The 95 family's enumeration: a toolhelp process snapshot.
void EnumerateProcessesToolhelp(const ProcessStep& step);
// The first visible top-level window (in Z order) of the process, or null.
HWND FirstVisibleWindowOf(uint32_t processId);

// The shell's path of a CSIDL folder (at most 260 characters), empty when
// there is none.
std::string ShellFolderPathOf(int csidl);

// Whether a folder walk descends into a directory entry with these
// attributes and reparse tag (WIN32_FIND_DATA's dwFileAttributes and
// dwReserved0): ordinary folders and reparse points that keep their own
// contents, such as cloud placeholders, yes; junctions, mount points and
// symbolic links (name surrogates), no, since they may lead back to an
// ancestor. Such entries are listed as files.
bool IsWalkableFolder(DWORD attributes, DWORD reparseTag);

// The Windows discovery system. Tests derive from it to point the special
// folders at folders of their own.
class CWinDiscoverySystem : public IDiscoverySystem {
public:
    void PrepareForScan() override;
    bool IsNtFamily() override;
    std::string SpecialFolderPath(SpecialFolder folder) override;
    LinkResult ResolveShortcut(const std::string& path, ShortcutInfo& info) override;
    std::string ProgramForDocument(const std::string& document) override;
    bool IsNetworkPath(const std::string& path) override;
    void EnumerateProcesses(const ProcessStep& step) override;
    bool HasVisibleWindow(uint32_t processId) override;
    std::unique_ptr<ThreadScope> EnterSecondThread() override;
};

}  // namespace scanners
