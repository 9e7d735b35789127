// Program discovery on the host: folders are listed through POSIX; there are
// no special folders, no shortcuts that can be resolved, no document
// associations and no processes of Windows programs, so the host's system
// finds nothing beyond what tests install in its place.
#include <dirent.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "scanners/discovery_system.h"

namespace scanners {

namespace {

class HostDiscoverySystem final : public IDiscoverySystem {
public:
    void PrepareForScan() override {}
    bool IsNtFamily() override { return true; }
    std::string SpecialFolderPath(SpecialFolder) override { return std::string(); }
    LinkResult ResolveShortcut(const std::string&, ShortcutInfo& info) override {
        info = ShortcutInfo();
        return kLinkFail;
    }
    std::string ProgramForDocument(const std::string&) override { return std::string(); }
    bool IsNetworkPath(const std::string&) override { return false; }
    void EnumerateProcesses(const std::function<bool(uint32_t, const std::string&)>&) override {}
    bool HasVisibleWindow(uint32_t) override { return false; }
};

}  // namespace

std::unique_ptr<IDiscoverySystem> MakePlatformDiscoverySystem() { return std::make_unique<HostDiscoverySystem>(); }

std::vector<FolderEntry> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    const std::string native = platform::NativePath(folder);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        const bool isDir = ::lstat((native + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({name, isDir});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace scanners
