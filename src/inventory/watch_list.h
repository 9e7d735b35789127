// VN_WatchList: the program's one list of the user's software, kept in
// "\varnel.db" in the data folder. On top of the adding, group and combining
// layers it checks that listed programs are still there, resets the list,
// builds the available-updates list, keeps the scan time texts, and holds
// what the scanners and the service exchange need beside the items: the
// exclusion list with the service-supplied configuration, the login error
// text of the last check and the subscription note of the last reply.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/exclusions.h"
#include "inventory/watch_list_item_combine.h"

namespace inventory {

inline constexpr char kWatchListFileName[] = "\\varnel.db";

// A button of the service's subscription note: its title, what it does and
// the address it opens.
struct SubscriptionButton {
    std::string title;
    std::string action;
    std::string url;
};

// The last subscription note of a reply, kept for the main window to show.
struct SubscriptionNote {
    std::string message;
    std::vector<SubscriptionButton> buttons;
};

}  // namespace inventory

class VN_WatchList : public VN_WatchListItemCombine {
public:
    // `dataFolder`: where "\varnel.db", "config.xml" and "exclusions.xml"
    // live; empty keeps the list in memory only (the two files are then
    // looked for in the program's folder alone).
    explicit VN_WatchList(const std::string& dataFolder = std::string());

    // Start-up: the database file, then "config.xml", then "exclusions.xml".
    void Init();

    // ---- presence, resets, the available updates
    // Marks gone (removed = 2) every suite the installer no longer names,
    // every uninstall entry without a display name, and every other item
    // whose program file is missing.
    void ValidateExeFiles();
    // Deletes every item the user did not add.
    void ClearNonUserItems();
    // Clears updateAvailable and outdated of every item (before a reply that
    // reports every item afresh).
    void ItemFlagsReset();
    // Fills `updates` with the items that have an update the user did not
    // skip, in list order, and stores each one's position among the list's
    // entries in its listIndex. The array has at least 30 entries; those after
    // the last update are null. Returns the number of updates. Items hidden
    // from the lists (removed) are left out.
    int BuildUpdateList(std::vector<VN_WatchItem*>& updates);

    // ---- scan time
    // Records the time of the last request (seconds since 1970; 0 changes
    // nothing): its UTC date and time as "<date>, <time> UTC", and its local
    // date.
    void SetScanTime(int64_t time);
    std::string GetScanTimeText() const;
    std::string GetScanDateText() const;

    // ---- debug listing of key names, signatures, uninstall commands and icons
    void PrintWatchList() const;
    std::string PrintWatchListText() const;

    // ---- service configuration and exclusions
    // Deletes "ClientLink URL", "IpapiLink URL" and "More Info Server", then
    // reads "config.xml", whose link elements write them afresh.
    void LoadConfig();
    // Replaces the exclusion list with the one in "exclusions.xml" (empty
    // when there is none).
    void LoadExclusions();
    // The scanners' exclusion test (see VN_ExclusionStore::IsInExclusions).
    bool IsInExclusions(const std::string& name) const;
    // The loaded list's revision date; empty when none is loaded.
    std::string GetExclusionDate() const;
    // The exclusion list as loaded, for tools and tests.
    std::shared_ptr<const VN_ExclusionStore> GetExclusions() const;
    // Writes the reply's exclusion element to `outputPath` as a document of
    // its own. 0 on success, 1 on failure (the old file stays).
    int SaveExclusionList(std::string_view replyText, const std::string& outputPath);
    // Where the service's files are looked for: the data folder first, then
    // the program's folder (ending with a backslash). Tests point them
    // elsewhere.
    void SetServiceFileFolders(std::string dataFolder, std::string programFolder);
    std::string ServiceFilePath(const std::string& name) const;

    // ---- what the last check left for the user interface
    void SetLoginError(const std::string& text);
    std::string GetLoginError() const;
    void SetSubscriptionNote(const inventory::SubscriptionNote& note);
    inventory::SubscriptionNote GetSubscriptionNote() const;

private:
    mutable std::mutex stateMutex_;  // guards the texts and the exclusion pointer below
    std::string dataFolder_;
    std::string programFolder_;
    std::string scanTimeText_;
    std::string scanDateText_;
    std::string loginError_;
    inventory::SubscriptionNote subscriptionNote_;
    std::shared_ptr<const VN_ExclusionStore> exclusions_;
};
