// Program discovery: the inventory pass and the file-to-item operation.
//
// The inventory pass picks its sources by the scan-mode settings and runs
// them in a fixed order: the installer's component scan (slow mode only), the
// installed products, the user's and the common Start Menu, Quick Launch, the
// Desktop and the recent documents; or, in the "Software I Use" mode, only
// the recent documents and the programs that show a window. Every program it
// finds is handed to the watch list's AddOrMerge; a pass that ran to its end
// then removes the entries it did not find again.
//
// The file-to-item operation turns one shortcut, document or program file
// into a watch item; the folder search, the running-program search, the
// component scan, the version refresh before a check and the user's manual
// add all build their items with it.
//
// VN_ProgramDiscovery works on one watch list, which is the scan context: its
// stop request, its exclusion list and its add-or-merge. The operating system
// is reached through IDiscoverySystem, the product scanners through
// IProductScanners, so every decision here runs (and is tested) on the host.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/notifier.h"
#include "scanners/discovery_system.h"

class VN_WatchItem;
class VN_WatchList;

namespace scanners {

// Results of ItemFromFile.
enum ItemResult : int {
    kItemFilled = 0,
    kItemNoVersionInfo = 1,
    kItemShortcutUnresolved = 2,
    kItemFileMissing = 4,  // or no program opens the document
    kItemIsFolder = 5,
    kItemNotProgram = 7,
    kItemExcludedByName = 8,  // by product name or display name
    kItemExcludedByFileName = 9,
    kItemExcludedByPath = 10,
    kItemNetworkDocument = 11,  // a document on a network place, passed over unread
    kItemFailed = -1,  // the operation failed part way (logged)
};

// Which sources a pass runs, from the scan-mode settings.
enum class ScanMode {
    None,               // no source runs
    AllMySoftware,      // the full source list without the component scan
    SlowAllMySoftware,  // the full source list, with the component scan when asked for
    SoftwareIUse,       // the recent documents, then the running programs
};

// The first of "WatchList Scan All My Software", "WatchList Scan Slow All My
// Software" and "WatchList Scan Software I Use" that is on (each defaults to
// on), else None.
ScanMode ChooseScanMode();

// The name an item made from a file shows: "Internet Explorer" and "Outlook
// Express" for their two programs; else the shortcut's file name without a
// leading "shortcut to " and a trailing ".lnk" (any case), unless that name
// is a short (8.3) name made by the system ("FNF~1.LNK") and there is a
// product name; else the product name; else the program's file name.
std::string DisplayName(std::string_view productName, std::string_view workingPath, std::string_view shortcutPath);

// Fills a watch item from a program file (see VN_ProgramDiscovery::ItemFromFile).
using ItemFromFileFn = std::function<int(const std::string& path, VN_WatchItem& item, bool check)>;

// The installed-product scanners, run by the inventory pass in the full
// source list. Each answers true when the scan was stopped or failed part
// way: either way the pass must not take it for complete.
class IProductScanners {
public:
    virtual ~IProductScanners() = default;
    // The installer's component scan: an item for every registered component
    // whose key path is a program, built by `itemFromFile`.
    virtual bool ScanComponents(VN_WatchList& list, const ItemFromFileFn& itemFromFile) = 0;
    // The products of the registry's uninstall keys and of the installer.
    virtual bool ScanInstalledProducts(VN_WatchList& list) = 0;
};

// The process's product scanners: the machine's registry and installer
// (VN_ScanRegistry, RegScan::VN_AllProducts) unless others were installed.
IProductScanners& ProductScanners();
// Replaces them (nullptr restores the machine's) and returns what it replaced. For tests.
std::unique_ptr<IProductScanners> InstallProductScanners(std::unique_ptr<IProductScanners> scanners);

class VN_ProgramDiscovery {
public:
    // Over the process's discovery system and product scanners.
    explicit VN_ProgramDiscovery(VN_WatchList& list);
    VN_ProgramDiscovery(VN_WatchList& list, IDiscoverySystem& system, IProductScanners& products);

    // The inventory pass. `window` and `message` receive the list's item
    // notices for the pass's duration; `componentScan` lets the slow mode run
    // the component scan. False when the pass was stopped (then nothing is
    // removed from the list), else true.
    bool ScanInventory(platform::WindowHandle window, uint32_t message, bool componentScan);

    // Searches one folder tree depth first and hands every program found to
    // the list. True when stopped. An empty path searches nothing.
    bool SearchDirectory(const std::string& folder);
    // Hands every running program that shows a window to the list. Answers
    // false (it is not stopped part way).
    bool SearchOpenApplication();

    // Fills `item` (an empty watch item) from a shortcut, document or program
    // file and answers an ItemResult. With `check` on, excluded programs are
    // refused.
    int ItemFromFile(const std::string& path, VN_WatchItem& item, bool check);
    // Whether the scanners leave the program out: never Internet Explorer or
    // Outlook Express, else when the exclusion list names `name`.
    bool IsExcluded(std::string_view path, const std::string& name) const;

    // Before a check: reads every item's installed version afresh from its
    // program file. Items whose file is gone keep their version. Answers true
    // when stopped. A failure part way is logged and ends the refresh; the
    // items not reached keep their version, and the answer is not stopped,
    // so that the check still runs.
    bool RefreshInstalledVersions();

    // The user adds a program file or shortcut by hand (the add-application
    // dialog, a file dropped on the window). Other files are refused with
    // string 324, programs whose information cannot be read with string 323,
    // both through the message reporter. The item is added as the user's own
    // and the list saved. The ItemFromFile result, or kItemNotProgram for a
    // refused extension. A failure is logged, reported with string 323 and
    // answered with kItemFailed; no exception leaves it (it runs from a
    // window procedure).
    int AddUserApplication(const std::string& path);

private:
    // The system's answer for a shortcut, through the file cache for plain
    // shell links.
    LinkResult ResolveShortcut(const std::string& path, ShortcutInfo& link);
    // The full source list; true when a source reported stopped.
    bool RunFullSourceList(bool componentScan);
    // Folder tree walk below `folder`; true when stopped.
    bool Walk(const std::string& folder);
    void AddFound(const VN_WatchItem& item);
    std::string QuickLaunchFolder();

    VN_WatchList& list_;
    IDiscoverySystem& system_;
    IProductScanners& products_;
};

// The entries for the engine and the views, over the process's discovery
// system and product scanners.
bool ScanInventory(VN_WatchList& list, platform::WindowHandle window, uint32_t message, bool componentScan);
// After a check's request was written: saves the file cache again, without
// dropping entries, so that the digests the request computed are kept for the
// next pass. Nothing when no pass has opened the cache.
void SaveFileCacheAfterCheck();
int ItemFromFile(VN_WatchList& list, const std::string& path, VN_WatchItem& item, bool check);
bool IsExcluded(const VN_WatchList& list, std::string_view path, const std::string& name);
// The check's version refresh and the views' manual add, likewise.
bool RefreshInstalledVersions(VN_WatchList& list);
int AddUserApplication(VN_WatchList& list, const std::string& path);

}  // namespace scanners
