#include "inventory/watch_list.h"

#include <exception>

#include "inventory/config_parser.h"
#include "inventory/exclusion_file.h"
#include "inventory/scan_time.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

VN_WatchList::VN_WatchList(const std::string& dataFolder)
    : VN_WatchListItemCombine(dataFolder.empty() ? std::string() : dataFolder + inventory::kWatchListFileName),
      dataFolder_(dataFolder),
      programFolder_(platform::ProgramFolder()),
      exclusions_(std::make_shared<VN_ExclusionStore>()) {}

void VN_WatchList::Init() {
    Load();
    LoadConfig();
    LoadExclusions();
}

// ------------------------------------------------------- presence and resets

void VN_WatchList::ValidateExeFiles() {
    bool changed = false;
    try {
        for (VN_WatchItem* item : WatchItems()) {
            bool gone;
            if (item->IsSuite() || !item->uninstallString.empty()) {
                // Installed products: gone when the installer or the entry no longer names them.
                gone = (item->IsSuite() && item->GetMsiProductName().empty()) ||
                       (!item->uninstallString.empty() && item->GetDisplayName(true).empty());
            } else {
                gone = !platform::FileExists(item->GetExePath());
            }
            if (!gone) continue;
            // The window may be marking the item too (a removal by the user).
            inventory::ContentLock::Write hold(ItemLock());
            if (item->removed != item_state::kGone) {
                item->removed = item_state::kGone;
                changed = true;
            }
        }
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::ValidateExeFiles");
    } catch (...) {
        vnlog::Warning("VN_WatchList::ValidateExeFiles", true);
    }
    if (changed) SetModified();
}

void VN_WatchList::ClearNonUserItems() {
    try {
        const size_t deleted = DeleteWhere([](const VN_ItemGrandBase& entry) {
            const auto* item = dynamic_cast<const VN_UpdatedItem*>(&entry);
            return item == nullptr || !item->userAdded;
        });
        if (deleted != 0) SetModified();
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::ClearNonUserItems");
    } catch (...) {
        vnlog::Warning("VN_WatchList::ClearNonUserItems", true);
    }
}

void VN_WatchList::ItemFlagsReset() {
    try {
        bool changed = false;
        for (VN_WatchItem* item : WatchItems()) {
            changed |= item->updateAvailable || item->outdated;
            item->updateAvailable = false;
            item->outdated = false;
        }
        if (changed) SetModified();
    } catch (...) {
    }
}

int VN_WatchList::BuildUpdateList(std::vector<VN_WatchItem*>& updates) {
    constexpr size_t kInitialSize = 30;
    updates.assign(kInitialSize, nullptr);
    size_t stored = 0;
    int32_t position = 0;
    for (VN_ItemGrandBase* entry : Snapshot()) {
        if (entry == nullptr) continue;
        auto* item = dynamic_cast<VN_WatchItem*>(entry);
        if (item != nullptr && item->removed == item_state::kPresent && item->IsUpdateCandidate()) {
            item->listIndex = position;
            if (stored < updates.size()) updates[stored] = item;
            else updates.push_back(item);
            ++stored;
        }
        ++position;
    }
    return static_cast<int>(stored);
}

// ---------------------------------------------------------------- scan time

void VN_WatchList::SetScanTime(int64_t time) {
    if (time == 0) return;
    const std::optional<inventory::CalendarTime> utc = inventory::UtcCalendarTime(time);
    const std::optional<inventory::CalendarTime> local = inventory::LocalCalendarTime(time);
    if (!utc || !local) return;
    const std::string text = textutil::Format("%s, %s UTC", inventory::FormatShortDate(*utc).c_str(),
                                              inventory::FormatTimeOfDay(*utc).c_str());
    const std::string date = inventory::FormatShortDate(*local);
    std::lock_guard<std::mutex> lock(stateMutex_);
    scanTimeText_ = text;
    scanDateText_ = date;
}

std::string VN_WatchList::GetScanTimeText() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return scanTimeText_;
}

std::string VN_WatchList::GetScanDateText() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return scanDateText_;
}

// -------------------------------------------------------------- debug listing

void VN_WatchList::PrintWatchList() const { vnlog::Debug(PrintWatchListText()); }

std::string VN_WatchList::PrintWatchListText() const {
    std::string out = "------------------Print WatchList ----------\n";
    int ordinal = 0;
    for (const VN_WatchItem* item : WatchItems()) {
        out += std::to_string(++ordinal) + "\n";
        out += "    keyName:" + item->keyName + "\n";
        out += "  signature:" + item->signature + "\n";
        out += "  uninstallString:" + item->uninstallString + "\n";
        out += "         iconPath:" + item->iconPath + "\n";
    }
    out += "-----------End PrintWatchList-----------\n";
    return out;
}

// ------------------------------------------------ configuration and exclusions

void VN_WatchList::SetServiceFileFolders(std::string dataFolder, std::string programFolder) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    dataFolder_ = std::move(dataFolder);
    programFolder_ = std::move(programFolder);
}

std::string VN_WatchList::ServiceFilePath(const std::string& name) const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return inventory::LocateServiceFile(name, dataFolder_, programFolder_);
}

void VN_WatchList::LoadConfig() {
    try {
        platform::Settings& settings = platform::AppSettings();
        settings.DeleteValue(setting::kClientLinkUrl);
        settings.DeleteValue(setting::kIpapiLinkUrl);
        settings.DeleteValue(setting::kMoreInfoServer);
        // Only the addresses of the link elements outlive the parse.
        VN_ExclusionStore scratch;
        inventory::ParseConfigFile(ServiceFilePath(inventory::kConfigFileName), scratch);
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::LoadConfig");
    } catch (...) {
        vnlog::Warning("VN_WatchList::LoadConfig", true);
    }
}

void VN_WatchList::LoadExclusions() {
    auto fresh = std::make_shared<VN_ExclusionStore>();
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        exclusions_ = std::make_shared<VN_ExclusionStore>();
    }
    try {
        inventory::ParseConfigFile(ServiceFilePath(inventory::kExclusionsFileName), *fresh);
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::LoadExclusions");
    } catch (...) {
        vnlog::Warning("VN_WatchList::LoadExclusions", true);
    }
    // What was read before a damaged part of the file counts.
    std::lock_guard<std::mutex> lock(stateMutex_);
    exclusions_ = std::move(fresh);
}

std::shared_ptr<const VN_ExclusionStore> VN_WatchList::GetExclusions() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return exclusions_;
}

bool VN_WatchList::IsInExclusions(const std::string& name) const { return GetExclusions()->IsInExclusions(name); }

std::string VN_WatchList::GetExclusionDate() const { return GetExclusions()->GetDate(); }

int VN_WatchList::SaveExclusionList(std::string_view replyText, const std::string& outputPath) {
    try {
        return inventory::SaveExclusionDocument(replyText, outputPath);
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::SaveExclusionList");
    } catch (...) {
        vnlog::Warning("VN_WatchList::SaveExclusionList", true);
    }
    return 1;
}

// ------------------------------------------------------------ check results

void VN_WatchList::SetLoginError(const std::string& text) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    loginError_ = text;
}

std::string VN_WatchList::GetLoginError() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return loginError_;
}

void VN_WatchList::SetSubscriptionNote(const inventory::SubscriptionNote& note) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    subscriptionNote_ = note;
}

inventory::SubscriptionNote VN_WatchList::GetSubscriptionNote() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return subscriptionNote_;
}
