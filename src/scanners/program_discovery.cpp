#include "scanners/program_discovery.h"

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/message_reporter.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "scanners/component_scan.h"
#include "scanners/file_cache.h"
#include "scanners/file_identity.h"
#include "scanners/products.h"

namespace scanners {

namespace {

constexpr char kIExplore[] = "iexplore.exe";
constexpr char kMsimn[] = "msimn.exe";
constexpr char kShortcutToPrefix[] = "shortcut to ";
constexpr char kLinkSuffix[] = ".lnk";
constexpr char kQuickLaunchTail[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

// The manual add's messages.
constexpr int kErrorReadingApplication = 323;
constexpr int kNotAnApplicationFile = 324;
constexpr unsigned kMbIconExclamation = 0x30;

bool HasExtension(std::string_view path, std::string_view extension) {
    return textutil::EqualsNoCase(textutil::ExtensionOf(path), extension);
}

// Files that are taken as they are; anything else is a document, and the
// program that opens it is looked at instead.
bool IsProgramLikeFile(std::string_view path) {
    for (const char* extension : {"exe", "vxd", "sys", "cpl", "dll"}) {
        if (HasExtension(path, extension)) return true;
    }
    return false;
}

// Files an item is made of: programs, and the drivers and control-panel
// applets that carry a version of their own. Libraries are not.
bool IsItemFile(std::string_view path) {
    if (HasExtension(path, "exe")) return true;
    for (const char* ending : {".vxd", ".sys", ".cpl"}) {
        if (textutil::EndsWithNoCase(path, ending)) return true;
    }
    return false;
}

bool IsNeverExcluded(std::string_view path) {
    const std::string name = textutil::FileNameOf(path);
    return textutil::EqualsNoCase(name, kIExplore) || textutil::EqualsNoCase(name, kMsimn);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

// The machine's installed products: the installer's components and the
// registry's and installer's products.
class MachineProductScanners final : public IProductScanners {
public:
    bool ScanComponents(VN_WatchList& list, const ItemFromFileFn& itemFromFile) override {
        return VN_ScanRegistry(list, itemFromFile).Run();
    }
    bool ScanInstalledProducts(VN_WatchList& list) override { return RegScan::VN_AllProducts(&list).Fill(); }
};

std::mutex& ServicesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<IProductScanners>& ProductScannersSlot() {
    static std::unique_ptr<IProductScanners> slot;
    return slot;
}

std::unique_ptr<IDiscoverySystem>& SystemSlot() {
    static std::unique_ptr<IDiscoverySystem> slot;
    return slot;
}

}  // namespace

// ------------------------------------------------------- process-wide services

IDiscoverySystem& DiscoverySystem() {
    std::lock_guard<std::mutex> lock(ServicesMutex());
    auto& slot = SystemSlot();
    if (!slot) slot = MakePlatformDiscoverySystem();
    return *slot;
}

std::unique_ptr<IDiscoverySystem> InstallDiscoverySystem(std::unique_ptr<IDiscoverySystem> system) {
    std::lock_guard<std::mutex> lock(ServicesMutex());
    return std::exchange(SystemSlot(), std::move(system));
}

IProductScanners& ProductScanners() {
    std::lock_guard<std::mutex> lock(ServicesMutex());
    auto& slot = ProductScannersSlot();
    if (!slot) slot = std::make_unique<MachineProductScanners>();
    return *slot;
}

std::unique_ptr<IProductScanners> InstallProductScanners(std::unique_ptr<IProductScanners> scanners) {
    std::lock_guard<std::mutex> lock(ServicesMutex());
    return std::exchange(ProductScannersSlot(), std::move(scanners));
}

// ------------------------------------------------------------- pure decisions

ScanMode ChooseScanMode() {
    const platform::Settings& settings = platform::AppSettings();
    if (settings.ReadFlag(setting::kScanAllMySoftware, setting::kScanAllMySoftwareDefault))
        return ScanMode::AllMySoftware;
    if (settings.ReadFlag(setting::kScanSlowAllMySoftware, setting::kScanSlowAllMySoftwareDefault))
        return ScanMode::SlowAllMySoftware;
    if (settings.ReadFlag(setting::kScanSoftwareIUse, setting::kScanSoftwareIUseDefault))
        return ScanMode::SoftwareIUse;
    return ScanMode::None;
}

namespace {

// Whether a file name has the form the system gives as a short (8.3) name of
// a longer one: at most eight characters, a tilde among them, at most three
// after the dot, no lower-case letter and no space. A folder walk names a
// file that the ANSI code page cannot spell by that name.
bool IsGeneratedShortName(std::string_view name) {
    const size_t dot = name.rfind('.');
    const std::string_view base = name.substr(0, dot);
    const size_t extension = dot == std::string_view::npos ? 0 : name.size() - dot - 1;
    if (base.empty() || base.size() > 8 || extension > 3 || base.find('~') == std::string_view::npos) return false;
    for (const char c : name)
        if (c == ' ' || (c >= 'a' && c <= 'z')) return false;
    return true;
}

}  // namespace

std::string DisplayName(std::string_view productName, std::string_view workingPath, std::string_view shortcutPath) {
    const std::string programFile = textutil::FileNameOf(workingPath);
    if (textutil::EqualsNoCase(programFile, kIExplore)) return "Internet Explorer";
    if (textutil::EqualsNoCase(programFile, kMsimn)) return "Outlook Express";
    // A shortcut known only by its short name: that name means nothing to
    // the user, the program's product name does.
    if (!shortcutPath.empty() && !(IsGeneratedShortName(textutil::FileNameOf(shortcutPath)) && !productName.empty())) {
        std::string name = textutil::FileNameOf(shortcutPath);
        if (textutil::StartsWithNoCase(name, kShortcutToPrefix)) name.erase(0, sizeof kShortcutToPrefix - 1);
        if (textutil::EndsWithNoCase(name, kLinkSuffix)) name.resize(name.size() - (sizeof kLinkSuffix - 1));
        return name;
    }
    if (!productName.empty()) return std::string(productName);
    return programFile;
}

// ----------------------------------------------------------------- the scanner

namespace {

// The system's answer for a shortcut, through the file cache for plain shell
// links. An installer shortcut's target is the installer's answer of the
// moment, not the file's: only plain shell links are kept.
LinkResult ResolveThroughCache(IDiscoverySystem& system, const std::string& path, ShortcutInfo& link) {
    fileid::CFileCache& cache = fileid::ProcessFileCache();
    fileid::CFileCache::Link cached;
    std::optional<platform::FileStamp> stamp;
    if (cache.FindLink(path, cached, stamp)) {
        link = ShortcutInfo();
        link.target = std::move(cached.target);
        link.arguments = std::move(cached.arguments);
        link.description = std::move(cached.description);
        return kLinkOk;
    }
    const LinkResult result = system.ResolveShortcut(path, link);
    if (result == kLinkOk && stamp && link.productCode.empty() && link.componentGuid.empty())
        cache.KeepLink(path, *stamp, {link.target, link.arguments, link.description});
    return result;
}

// Every file below `folder`, in the order the folder walk meets them.
// Every file below `folder`, until `ending` answers true (a large Desktop
// would otherwise hold a stop until its whole tree was listed).
void ListFiles(const std::string& folder, std::vector<std::string>& files, const std::function<bool()>& ending) {
    for (const FolderEntry& entry : ListFolder(folder)) {
        if (ending()) return;
        std::string path = JoinPath(folder, entry.name);
        if (entry.directory) ListFiles(path, files, ending);
        else files.push_back(std::move(path));
    }
}

// While the product scan walks the registry and the installer, a second
// thread reads what the folder walks will ask of the file cache: each
// shortcut's target and each program's version resource. It starts at the
// last file and goes backwards while the walks go forwards, so the two meet
// and each file is read about once; the walks find the rest in the cache.
// It only fills the cache: the items, their order and everything the pass
// writes are what they would be without it. It runs only while the cache is
// open (else there is nothing to fill) and the system can be called from a
// second thread.
class FolderReadAhead {
public:
    FolderReadAhead(IDiscoverySystem& system, const VN_WatchList& list, const std::vector<std::string>& folders)
        : system_(system), list_(list), folders_(folders) {
        if (!fileid::ProcessFileCache().IsOpen()) return;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::exception& e) {
            vnlog::Debug(std::string("Inventory: no read-ahead thread: ") + e.what());
        }
    }
    ~FolderReadAhead() {
        end_ = true;
        if (thread_.joinable()) thread_.join();
    }
    FolderReadAhead(const FolderReadAhead&) = delete;
    FolderReadAhead& operator=(const FolderReadAhead&) = delete;

private:
    bool Ending() const { return end_ || list_.IsStopRequested(); }

    void Run() noexcept {
        try {
            const std::unique_ptr<ThreadScope> scope = system_.EnterSecondThread();
            if (!scope) return;
            platform::LowerCurrentThreadPriority();
            std::vector<std::string> files;
            for (const std::string& folder : folders_) {
                if (Ending()) return;
                if (!folder.empty()) ListFiles(folder, files, [this] { return Ending(); });
            }
            for (auto file = files.rbegin(); file != files.rend() && !Ending(); ++file) ReadAhead(*file);
        } catch (...) {
            // A read that failed here is made again by the walk, which reports it.
        }
    }

    // The reads ItemFromFile makes of the file, up to its version resource.
    void ReadAhead(const std::string& path) {
        std::string program = path;
        if (HasExtension(path, "lnk")) {
            ShortcutInfo link;
            if (ResolveThroughCache(system_, path, link) != kLinkOk) return;
            program = std::move(link.target);
        }
        if (program.empty() || !IsProgramLikeFile(program) || !IsItemFile(program) || !platform::FileExists(program))
            return;
        fileid::ReadVersionInfo(program);
    }

    IDiscoverySystem& system_;
    const VN_WatchList& list_;
    const std::vector<std::string> folders_;
    std::atomic<bool> end_{false};
    std::thread thread_;  // last: started once the members it reads are made
};

}  // namespace

VN_ProgramDiscovery::VN_ProgramDiscovery(VN_WatchList& list)
    : VN_ProgramDiscovery(list, DiscoverySystem(), ProductScanners()) {}

VN_ProgramDiscovery::VN_ProgramDiscovery(VN_WatchList& list, IDiscoverySystem& system, IProductScanners& products)
    : list_(list), system_(system), products_(products) {}

bool VN_ProgramDiscovery::ScanInventory(platform::WindowHandle window, uint32_t message, bool componentScan) {
    list_.IncrementScanCount();
    bool stopped = false;
    try {
        system_.PrepareForScan();
        list_.SetNotifyTarget(window, message);
        switch (ChooseScanMode()) {
            case ScanMode::AllMySoftware:
                stopped = RunFullSourceList(false);
                list_.ValidateExeFiles();
                break;
            case ScanMode::SlowAllMySoftware:
                stopped = RunFullSourceList(componentScan);
                list_.ValidateExeFiles();
                break;
            case ScanMode::SoftwareIUse:
                stopped = SearchDirectory(system_.SpecialFolderPath(SpecialFolder::Recent));
                if (!stopped) SearchOpenApplication();
                break;
            case ScanMode::None:
                break;
        }
        if (!stopped) {
            // Entries this pass did not find again are gone from the machine;
            // the user's own entries stay, since no scan is expected to find
            // programs the user picked by hand (the presence check marks them
            // when their file goes).
            const int32_t current = list_.GetScanCount();
            const size_t deleted = list_.DeleteWhere([current](const VN_ItemGrandBase& entry) {
                const auto* item = dynamic_cast<const VN_UpdatedItem*>(&entry);
                return entry.scanStamp != current && (item == nullptr || !item->userAdded);
            });
            if (deleted != 0) list_.SetModified();
        }
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::ScanInventory");
        stopped = true;  // an unfinished pass removes nothing
    } catch (...) {
        vnlog::Warning("VN_WatchList::ScanInventory", true);
        stopped = true;
    }
    list_.SetNotifyTarget(nullptr, 0);
    return !stopped;
}

bool VN_ProgramDiscovery::RunFullSourceList(bool componentScan) {
    const ItemFromFileFn itemFromFile = [this](const std::string& path, VN_WatchItem& item, bool check) {
        return ItemFromFile(path, item, check);
    };
    // The all-users Start Menu exists only on the NT family; an empty Quick
    // Launch path is still announced in the log and searches nothing.
    std::vector<std::string> folders{system_.SpecialFolderPath(SpecialFolder::StartMenu)};
    if (system_.IsNtFamily()) folders.push_back(system_.SpecialFolderPath(SpecialFolder::CommonStartMenu));
    folders.push_back(QuickLaunchFolder());
    folders.push_back(system_.SpecialFolderPath(SpecialFolder::Desktop));
    folders.push_back(system_.SpecialFolderPath(SpecialFolder::Recent));

    const FolderReadAhead readAhead(system_, list_, folders);
    if (componentScan && products_.ScanComponents(list_, itemFromFile)) return true;
    if (products_.ScanInstalledProducts(list_)) return true;
    for (const std::string& folder : folders) {
        if (SearchDirectory(folder)) return true;
    }
    return false;
}

std::string VN_ProgramDiscovery::QuickLaunchFolder() {
    // Without an application-data folder there is no Quick Launch; the bare
    // tail would name a folder at the root of the current drive.
    const std::string appData = system_.SpecialFolderPath(SpecialFolder::AppData);
    return appData.empty() ? std::string() : appData + kQuickLaunchTail;
}

bool VN_ProgramDiscovery::SearchDirectory(const std::string& folder) {
    vnlog::Write("Start searching directory: " + folder);
    const bool stopped = !folder.empty() && Walk(folder);
    vnlog::Write("  End searching directory: " + folder);
    return stopped;
}

bool VN_ProgramDiscovery::Walk(const std::string& folder) {
    for (const FolderEntry& entry : ListFolder(folder)) {
        if (list_.IsStopRequested()) return true;
        const std::string path = JoinPath(folder, entry.name);
        if (entry.directory) {
            if (Walk(path)) return true;
            continue;
        }
        VN_WatchItem item;
        if (ItemFromFile(path, item, true) == kItemFilled) AddFound(item);
    }
    return false;
}

void VN_ProgramDiscovery::AddFound(const VN_WatchItem& item) {
    list_.AddOrMerge(item, false, false);
    if (!item.productGuid.empty()) {
        // An installer shortcut also stands for its whole product.
        VN_WatchItem suite;
        suite.SetProductGuid(item.productGuid);
        list_.AddOrMerge(suite, false, false);
    }
}

bool VN_ProgramDiscovery::SearchOpenApplication() {
    vnlog::Write("Start SearchOpenApplication");
    system_.EnumerateProcesses([this](uint32_t id, const std::string& path) {
        if (HasExtension(path, "exe") && system_.HasVisibleWindow(id)) {
            VN_WatchItem item;
            if (ItemFromFile(path, item, true) == kItemFilled) list_.AddOrMerge(item, false, false);
        }
        return true;
    });
    vnlog::Write("  End SearchOpenApplication");
    return false;
}

int VN_ProgramDiscovery::ItemFromFile(const std::string& path, VN_WatchItem& item, bool check) {
    ShortcutInfo link;
    std::string working = path;
    std::string shortcut;
    if (HasExtension(path, "lnk")) {
        if (ResolveShortcut(path, link) != kLinkOk) return kItemShortcutUnresolved;
        shortcut = path;
        working = link.target;
    }
    // A shortcut to a document on a server share or a mapped drive (Recent
    // holds many) is passed over before anything looks at the document: off
    // that network every look can block for tens of seconds, and a stop is
    // heard only between files. A program named directly is read wherever it
    // is, as before: it is what the inventory is about, and the read-ahead
    // reads it too.
    if (!working.empty() && !IsProgramLikeFile(working) && system_.IsNetworkPath(working))
        return kItemNetworkDocument;
    if (working.empty() || !platform::FileExists(working)) return kItemFileMissing;
    if (platform::IsDirectory(working)) return kItemIsFolder;
    if (!IsProgramLikeFile(working)) {
        working = system_.ProgramForDocument(working);
        if (working.empty()) return kItemFileMissing;
        shortcut.clear();
    }
    if (!IsItemFile(working)) return kItemNotProgram;

    // One read of the version resource serves the names and the numbers.
    const fileid::VersionInfoRead version = fileid::ReadVersionInfo(working);
    if (version.result != fileid::kOk || !version.info) return kItemNoVersionInfo;
    const fileid::VersionNames names = fileid::ChooseVersionNames(*version.info);
    if (check && IsExcluded(working, names.productName)) return kItemExcludedByName;

    fileid::VersionNumbers numbers = fileid::ChooseVersionNumbers(*version.info);
    if (numbers.productVersion.empty()) numbers.productVersion = numbers.fixedFileVersion;

    const std::string displayName = DisplayName(names.productName, working, shortcut);
    const std::string fileName = textutil::FileNameOf(working);
    if (check) {
        if (list_.IsInExclusions(displayName)) return kItemExcludedByName;
        if (list_.IsInExclusions(fileName)) return kItemExcludedByFileName;
        if (list_.IsInExclusions(path)) return kItemExcludedByPath;
    }

    item.SetProgName(displayName);
    item.packageName = names.companyName;
    item.SetFileDesc(names.fileDescription);
    item.shortcutName = shortcut;
    item.targetName = working;
    item.installedVers = numbers.productVersion;
    item.installedVers2 = numbers.fixedFileVersion;
    item.installedVers3 = numbers.fileVersion;
    item.description = link.description;
    item.source = watch_source::kExe;
    item.executableName = fileName;
    item.arguments = link.arguments;
    item.SetProductGuid(link.productCode);
    item.componentGuid = link.componentGuid;
    return kItemFilled;
}

LinkResult VN_ProgramDiscovery::ResolveShortcut(const std::string& path, ShortcutInfo& link) {
    return ResolveThroughCache(system_, path, link);
}

bool VN_ProgramDiscovery::IsExcluded(std::string_view path, const std::string& name) const {
    return scanners::IsExcluded(list_, path, name);
}

bool VN_ProgramDiscovery::RefreshInstalledVersions() {
    bool changed = false;
    bool stopped = false;
    try {
        for (VN_WatchItem* item : list_.WatchItems()) {
            if (list_.IsStopRequested()) {
                stopped = true;
                break;
            }
            VN_WatchItem scratch;
            if (ItemFromFile(item->GetExePath(), scratch, false) != kItemFilled) continue;
            // The version the file reports now, as the merge of a scan takes it
            // (GetInstalledVersion would give the service's echo, which a fresh
            // item does not have).
            const std::string version = scratch.IsSuite() ? scratch.GetInstalledVersion() : scratch.installedVers;
            if (item->installedVers != version) {
                inventory::ContentLock::Write hold(list_.ItemLock());
                item->installedVers = version;
                changed = true;
            }
        }
    } catch (const std::exception&) {
        // The items not reached keep the versions they had, as items whose
        // file is gone do; the check goes on with them.
        vnlog::Warning("VN_WatchList::RefreshInstalledVersions");
    } catch (...) {
        vnlog::Warning("VN_WatchList::RefreshInstalledVersions", true);
    }
    // Versions changed before a failure are changed all the same.
    if (changed) {
        list_.IdentityFieldsChanged();
        list_.SetModified();
    }
    return stopped;
}

int VN_ProgramDiscovery::AddUserApplication(const std::string& path) {
    try {
        if (!HasExtension(path, "exe") && !HasExtension(path, "lnk")) {
            platform::ReportMessage(kNotAnApplicationFile, kMbIconExclamation);
            return kItemNotProgram;
        }
        VN_WatchItem item;
        const int result = ItemFromFile(path, item, false);
        if (result != kItemFilled) {
            platform::ReportMessage(kErrorReadingApplication, kMbIconExclamation);
            return result;
        }
        item.userAdded = true;
        list_.AddUserItem(item);
        return kItemFilled;
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::AddUserApplication");
    } catch (...) {
        vnlog::Warning("VN_WatchList::AddUserApplication", true);
    }
    // The user picked the file, so the user hears that it was not added. This
    // runs from a window procedure, which nothing may leave by an exception.
    try {
        platform::ReportMessage(kErrorReadingApplication, kMbIconExclamation);
    } catch (...) {
    }
    return kItemFailed;
}

// ------------------------------------------------------------- engine entries

bool ScanInventory(VN_WatchList& list, platform::WindowHandle window, uint32_t message, bool componentScan) {
    // The agent's passes read program files through the file cache of its
    // data folder; a pass that ran to its end drops the files it no longer found.
    fileid::CFileCache& cache = fileid::ProcessFileCache();
    cache.Open(platform::DataFolder() + "\\" + fileid::kFileCacheName);
    cache.BeginPass();
    const bool complete = VN_ProgramDiscovery(list).ScanInventory(window, message, componentScan);
    cache.Save(complete);
    return complete;
}

void SaveFileCacheAfterCheck() {
    fileid::CFileCache& cache = fileid::ProcessFileCache();
    if (cache.IsOpen()) cache.Save(false);
}

int ItemFromFile(VN_WatchList& list, const std::string& path, VN_WatchItem& item, bool check) {
    return VN_ProgramDiscovery(list).ItemFromFile(path, item, check);
}

// The members catch their own failures; these catch a failure to reach the
// process's services.
bool RefreshInstalledVersions(VN_WatchList& list) {
    try {
        return VN_ProgramDiscovery(list).RefreshInstalledVersions();
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::RefreshInstalledVersions");
    } catch (...) {
        vnlog::Warning("VN_WatchList::RefreshInstalledVersions", true);
    }
    return false;
}

int AddUserApplication(VN_WatchList& list, const std::string& path) {
    try {
        return VN_ProgramDiscovery(list).AddUserApplication(path);
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::AddUserApplication");
    } catch (...) {
        vnlog::Warning("VN_WatchList::AddUserApplication", true);
    }
    return kItemFailed;
}

bool IsExcluded(const VN_WatchList& list, std::string_view path, const std::string& name) {
    if (IsNeverExcluded(path)) return false;
    return list.IsInExclusions(name);
}

}  // namespace scanners
