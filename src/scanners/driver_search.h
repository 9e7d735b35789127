// The driver search: collects one record per device that Windows has
// installed (through an IDeviceEnumerator: the Setup API on Windows, recorded
// device data in tests), leaves out the device classes the user excludes, and
// brings the driver list up to date: drivers found again keep their item, new
// ones are added, and those no longer present are marked gone.
//
// Also here: the matching rank that the scan document sends with each driver,
// and the rule that turns a service's "ImagePath" into the driver file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/driver_item.h"

namespace Views {
class CDriverData;
}

namespace scanners {

using DriverRecords = std::vector<std::unique_ptr<VN_DriverItem>>;

// Used when "Exclude Device Classes" is empty.
inline constexpr char kDefaultExcludedDeviceClasses[] =
    "Volume, Processor, System, LegacyDriver, Ports, fdc, FloppyDisk,hdc, Unknown";

// Matching ranks: the hardware identifiers rank from 0 in device order, the
// compatible identifiers from kCompatibleIdRankBase; a matching device ID in
// neither list ranks kUnmatchedRank.
inline constexpr int kCompatibleIdRankBase = 0x2000;
inline constexpr int kUnmatchedRank = 9999;

// Where device records come from.
class IDeviceEnumerator {
public:
    virtual ~IDeviceEnumerator() = default;
    // Appends one record per device (present devices only when asked) to
    // `records` and answers how many it added; -1 when the system's device
    // list could not be read at all (no Setup API, no device set), which is
    // not the same as a system without devices.
    virtual int EnumerateDevices(bool presentOnly, DriverRecords& records) = 0;
};

// The platform's enumerator: the Setup API on Windows. The host has no device
// list, so its enumerator always answers -1.
std::unique_ptr<IDeviceEnumerator> MakeSystemDeviceEnumerator();

// True when `excludeSetting` (the text of "Exclude Device Classes"; empty
// means the default list) names `deviceClass`. The setting is split at commas
// and semicolons; leading white space of each name is ignored, trailing white
// space is not (so "Net " does not name "Net"); case is ignored.
bool IsExcludedDeviceClass(std::string_view deviceClass, std::string_view excludeSetting);

// The driver file for a service's "ImagePath": a path relative to the Windows
// folder gets that folder and a backslash in front, unchanged otherwise. A
// path that already names a drive or a share is taken as it is, and the
// kernel's forms "\SystemRoot\...", "%SystemRoot%\..." and "\??\C:\..." are
// resolved, since prefixing those would name no file at all.
std::string DriverFileFromImagePath(std::string_view windowsFolder, std::string_view imagePath);

class VN_DeviceSearch {
public:
    // Over the platform's enumerator.
    VN_DeviceSearch();
    explicit VN_DeviceSearch(std::unique_ptr<IDeviceEnumerator> enumerator);
    ~VN_DeviceSearch();
    VN_DeviceSearch(const VN_DeviceSearch&) = delete;
    VN_DeviceSearch& operator=(const VN_DeviceSearch&) = delete;

    // Adds a record for every device to Records(); answers how many were
    // added, or -1 when the device list could not be read.
    int EnumerateDevices(bool presentOnly);
    const DriverRecords& Records() const { return records_; }

    // Runs a complete search over present devices and brings `list` up to
    // date. Logs "Init driver items", "Start searching drivers" and
    // "  End searching drivers". Drivers that were not found again are
    // marked gone (removed = 2), for CDriverData::DeleteGoneDrivers to
    // delete on the user-interface thread. When the device list could not be read at all, the list is
    // left as it was rather than emptied. Answers the scanners' stopped flag,
    // which is always false: the search cannot be stopped part way.
    bool SearchDrivers(Views::CDriverData& list);

    // The position of the record's matching device ID in its hardware IDs,
    // else kCompatibleIdRankBase plus its position in its compatible IDs,
    // else kUnmatchedRank (case is ignored).
    static int GetMatchingRank(const VN_DriverItem& record);
    // The rank in lower-case hexadecimal: "1", "2000", "270f".
    static std::string GetMatchingRankText(const VN_DriverItem& record);

private:
    void UpdateList(Views::CDriverData& list);

    std::unique_ptr<IDeviceEnumerator> enumerator_;
    DriverRecords records_;
};

// The scan worker's entry: when "WatchList Scan Devices" is on (the default),
// runs a driver search over `list` and answers true; otherwise leaves the
// list alone and answers false.
bool SearchDriversIfEnabled(Views::CDriverData& list);

}  // namespace scanners
