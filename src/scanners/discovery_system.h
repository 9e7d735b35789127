// What program discovery needs of the operating system beyond plain files:
// where the user's special folders are, what a shortcut points to, which
// program opens a document, which processes run and whether they show a
// window. The Windows adapter answers through the shell, msi.dll and the
// process functions; the host has none of these (its folders are unknown and
// its shortcuts unresolvable), and tests install systems of their own.
//
// Folder listing and file tests are not part of it: they go to the real file
// system on both platforms (ListFolder below, platform/files.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scanners {

// A result code of the COM kind: 0 for success, negative for a failure.
using LinkResult = int32_t;
inline constexpr LinkResult kLinkOk = 0;
inline constexpr LinkResult kLinkFail = static_cast<LinkResult>(0x80004005u);  // E_FAIL

// What a shortcut holds.
struct ShortcutInfo {
    std::string target;
    std::string arguments;
    std::string description;
    std::string productCode;    // an installer (advertised) shortcut's product
    std::string componentGuid;  // and component
};

// The folders the inventory pass searches.
enum class SpecialFolder {
    StartMenu,        // the user's Start Menu (CSIDL_STARTMENU)
    CommonStartMenu,  // the all-users Start Menu (CSIDL_COMMON_STARTMENU)
    AppData,          // the user's application data (CSIDL_APPDATA)
    Desktop,          // the user's desktop folder (CSIDL_DESKTOPDIRECTORY)
    Recent,           // the user's recent documents (CSIDL_RECENT)
};

// Holds a thread ready for a system's calls (see IDiscoverySystem::
// EnterSecondThread) until it is destroyed.
class ThreadScope {
public:
    virtual ~ThreadScope() = default;
};

class IDiscoverySystem {
public:
    virtual ~IDiscoverySystem() = default;

    // Before a pass: make a missing or unready drive fail quietly instead of
    // asking the user (the process error mode).
    virtual void PrepareForScan() = 0;
    // True on the Windows NT family (the only one with an all-users Start Menu).
    virtual bool IsNtFamily() = 0;
    // The folder's path (at most 260 characters), empty when the shell cannot
    // name it.
    virtual std::string SpecialFolderPath(SpecialFolder folder) = 0;
    // Resolves a shortcut file: an installer shortcut through the installer
    // first, else the shell link. Outputs are emptied first. kLinkOk, or the
    // failing result (the outputs may then be partly filled).
    virtual LinkResult ResolveShortcut(const std::string& path, ShortcutInfo& info) = 0;
    // The program registered to open the document (FindExecutable on
    // Windows); empty when there is none.
    virtual std::string ProgramForDocument(const std::string& document) = 0;
    // Whether the path is on a network place: a UNC path ("\\server\share",
    // also in its "\\?\UNC\" form) or a path on a drive the system maps to
    // a network share. Answered from the path and the drive table alone,
    // without touching the place, which may be out of reach.
    virtual bool IsNetworkPath(const std::string& path) = 0;
    // Calls `step` with each running process's identifier and program path
    // (empty when it could not be read), until `step` answers false.
    virtual void EnumerateProcesses(const std::function<bool(uint32_t id, const std::string& path)>& step) = 0;
    // Whether a visible top-level window belongs to the process.
    virtual bool HasVisibleWindow(uint32_t processId) = 0;

    // Readies the calling thread, a second one beside the pass's own, for
    // ResolveShortcut while the pass runs (Windows: COM for the thread) until
    // the scope is destroyed. Nothing when
    // this system must not be called from a second thread: then the pass
    // reads no files ahead.
    virtual std::unique_ptr<ThreadScope> EnterSecondThread() { return nullptr; }
};

// The process's system (the platform's unless another was installed).
IDiscoverySystem& DiscoverySystem();
// Replaces the process's system (nullptr restores the platform's) and returns the one it
// replaced. For tests.
std::unique_ptr<IDiscoverySystem> InstallDiscoverySystem(std::unique_ptr<IDiscoverySystem> system);
std::unique_ptr<IDiscoverySystem> MakePlatformDiscoverySystem();

// One entry of a folder listing.
struct FolderEntry {
    std::string name;
    bool directory = false;
};

// The entries of one folder in the order the file system gives them, without
// "." and ".." (Windows: FindFirstFile with "*.*"). Nothing when the folder
// cannot be listed. Links to folders (symbolic links; on Windows also
// junctions and mount points) are not reported as folders, so a walk cannot
// loop through them.
std::vector<FolderEntry> ListFolder(const std::string& folder);

}  // namespace scanners
