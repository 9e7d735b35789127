#include "scanners/driver_search.h"

#include <exception>

#include "inventory/driver_data.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace scanners {

namespace {

// Finds `id` in `ids` ignoring case; -1 when absent.
int PositionOf(const std::vector<std::string>& ids, const std::string& id) {
    for (size_t i = 0; i < ids.size(); ++i)
        if (textutil::EqualsNoCase(ids[i], id)) return static_cast<int>(i);
    return -1;
}

bool IsDriveQualified(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

void SetAllDriverFlags(Views::CDriverData& list, bool value) {
    for (VN_ItemGrandBase* entry : list.Snapshot())
        if (auto* driver = dynamic_cast<VN_DriverItem*>(entry)) driver->driverFlag = value;
}

}  // namespace

bool IsExcludedDeviceClass(std::string_view deviceClass, std::string_view excludeSetting) {
    const std::string_view classes = excludeSetting.empty() ? kDefaultExcludedDeviceClasses : excludeSetting;
    size_t start = 0;
    while (start <= classes.size()) {
        size_t end = classes.find_first_of(",;", start);
        if (end == std::string_view::npos) end = classes.size();
        if (textutil::EqualsNoCase(textutil::TrimLeft(classes.substr(start, end - start)), deviceClass)) return true;
        start = end + 1;
    }
    return false;
}

std::string DriverFileFromImagePath(std::string_view windowsFolder, std::string_view imagePath) {
    std::string_view path = imagePath;
    if (textutil::StartsWithNoCase(path, "\\??\\")) path.remove_prefix(4);
    if (IsDriveQualified(path) || textutil::StartsWithNoCase(path, "\\\\")) return std::string(path);
    for (std::string_view root : {"\\SystemRoot\\", "%SystemRoot%\\", "%windir%\\"}) {
        if (textutil::StartsWithNoCase(path, root)) {
            path.remove_prefix(root.size());
            break;
        }
    }
    std::string file(windowsFolder);
    file += '\\';
    file += path;
    return file;
}

// ---------------------------------------------------------------- VN_DeviceSearch

VN_DeviceSearch::VN_DeviceSearch() : VN_DeviceSearch(MakeSystemDeviceEnumerator()) {}

VN_DeviceSearch::VN_DeviceSearch(std::unique_ptr<IDeviceEnumerator> enumerator) : enumerator_(std::move(enumerator)) {}

VN_DeviceSearch::~VN_DeviceSearch() = default;

int VN_DeviceSearch::EnumerateDevices(bool presentOnly) {
    try {
        return enumerator_ ? enumerator_->EnumerateDevices(presentOnly, records_) : -1;
    } catch (const std::exception&) {
        vnlog::Warning("VN_DeviceSearch::EnumerateDevices");
    } catch (...) {
        vnlog::Warning("VN_DeviceSearch::EnumerateDevices", true);
    }
    return -1;
}

bool VN_DeviceSearch::SearchDrivers(Views::CDriverData& list) {
    try {
        vnlog::Write("Init driver items");
        SetAllDriverFlags(list, false);
        vnlog::Write("Start searching drivers");
        if (EnumerateDevices(true) < 0) {
            // Without a device list every driver would look gone; keeping the
            // list keeps what the user and the service recorded on its items.
            vnlog::Debug("VN_DeviceSearch::SearchDrivers: the device list could not be read; drivers kept\n");
            SetAllDriverFlags(list, true);
            vnlog::Write("  End searching drivers");
            return false;
        }
        UpdateList(list);
    } catch (const std::exception&) {
        vnlog::Warning("VN_DeviceSearch::SearchDrivers");
    } catch (...) {
        vnlog::Warning("VN_DeviceSearch::SearchDrivers", true);
    }
    return false;
}

void VN_DeviceSearch::UpdateList(Views::CDriverData& list) {
    const std::string excluded = platform::AppSettings().ReadText(setting::kExcludeDeviceClasses);
    for (const auto& record : records_) {
        if (!record || record->deviceClass.empty() || IsExcludedDeviceClass(record->deviceClass, excluded)) continue;
        VN_DriverItem* same = nullptr;
        for (VN_ItemGrandBase* entry : list.Snapshot()) {
            auto* driver = dynamic_cast<VN_DriverItem*>(entry);
            if (driver && driver->IsSameDriver(*record)) {
                same = driver;
                break;
            }
        }
        if (same) {
            same->driverFlag = true;  // the item keeps its own fields
            // Found again before its deletion came round: present after all.
            if (same->removed == item_state::kGone) same->removed = item_state::kPresent;
        } else {
            auto item = std::make_unique<VN_DriverItem>();
            item->CopyFrom(*record);
            item->driverFlag = true;
            list.AddTail(std::move(item));
        }
    }
    vnlog::Write("  End searching drivers");
    // Drivers not found again are only marked gone here (hidden and not
    // sent): a view may be drawing them, so the user-interface thread deletes
    // them (CDriverData::DeleteGoneDrivers).
    for (VN_ItemGrandBase* entry : list.Snapshot()) {
        auto* driver = dynamic_cast<VN_DriverItem*>(entry);
        if (driver && !driver->driverFlag) driver->removed = item_state::kGone;
    }
}

int VN_DeviceSearch::GetMatchingRank(const VN_DriverItem& record) {
    const int hardware = PositionOf(record.hardwareIds, record.matchingDeviceId);
    if (hardware >= 0) return hardware;
    const int compatible = PositionOf(record.compatibleIds, record.matchingDeviceId);
    if (compatible >= 0) return kCompatibleIdRankBase + compatible;
    return kUnmatchedRank;
}

std::string VN_DeviceSearch::GetMatchingRankText(const VN_DriverItem& record) {
    return textutil::Format("%x", static_cast<unsigned>(GetMatchingRank(record)));
}

bool SearchDriversIfEnabled(Views::CDriverData& list) {
    if (!platform::AppSettings().ReadFlag(setting::kScanDevices, true)) return false;
    VN_DeviceSearch search;
    search.SearchDrivers(list);
    return true;
}

}  // namespace scanners
