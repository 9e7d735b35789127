#include "platform/folders.h"

#include <mutex>

#include "platform/files.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace platform {

// Implemented by the platform (win/ or host/).
std::optional<std::string> PlatformShellFolderPath(ShellFolder folder);

namespace {

constexpr char kMaker[] = "Harbinel";
constexpr char kTitle[] = "Zelto Varnel";

std::mutex g_rootMutex;
std::string g_root;

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

// The stored folder, or `makeDefault()` stored back when asked to; created when missing.
template <typename MakeDefault>
std::string StoredOrDefault(const char* name, bool storeBack, MakeDefault makeDefault) {
    Settings& settings = AppSettings();
    std::string folder = settings.ReadText(name);
    // A stored path longer than the ordinary text read is still the user's
    // folder: it is read with the longer limit instead of being replaced.
    if (folder.empty()) folder = settings.ReadTextFrom(ISettingsStore::Hive::User, name).value_or(std::string());
    if (folder.empty()) {
        folder = makeDefault();
        if (storeBack) settings.WriteText(name, folder);
    }
    if (!IsDirectory(folder)) CreateDirectories(folder);
    return folder;
}

}  // namespace

std::optional<std::string> ShellFolderPath(ShellFolder folder) {
    {
        std::lock_guard<std::mutex> lock(g_rootMutex);
        if (!g_root.empty())
            return g_root + (folder == ShellFolder::AppData ? "\\AppData" : "\\Documents");
    }
    return PlatformShellFolderPath(folder);
}

void SetShellFolderRoot(const std::string& root) {
    std::lock_guard<std::mutex> lock(g_rootMutex);
    g_root = WithoutTrailingSeparator(root);
}

std::string DataFolder() {
    return StoredOrDefault(setting::kDataFolder, true, [] {
        std::string base;
        if (auto appData = ShellFolderPath(ShellFolder::AppData)) base = WithoutTrailingSeparator(*appData) + "\\";
        else base = ProgramFolder();
        return base + textutil::Format("%s\\%s\\data", kMaker, kTitle);
    });
}

std::string TempHtmlFolder() {
    return StoredOrDefault(setting::kTempHtmlFolder, true, [] { return DataFolder() + "\\Temp"; });
}

std::string UpgradeFolder() {
    const std::string folder = DataFolder() + "\\upgrade";
    if (!IsDirectory(folder)) CreateDirectories(folder);
    return folder;
}

std::string DownloadFolder() {
    return StoredOrDefault(setting::kDownloadFolder, true, [] {
        // The program folder ends with a backslash; it is not doubled.
        const auto documents = ShellFolderPath(ShellFolder::Documents);
        return WithoutTrailingSeparator(documents ? *documents : ProgramFolder()) + "\\" + kTitle;
    });
}

}  // namespace platform
