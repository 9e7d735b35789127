// The Windows device enumerator of the driver search: the Setup API (loaded
// by name from "setupapi.dll", so a system without it simply has no device
// list) gives every device and its registry properties; the driver's class
// key and the service key in the registry give the driver's data and file.
#pragma once

#include <string>
#include <vector>

#include "platform/win/handles.h"
#include "platform/win/win.h"
#include "scanners/driver_search.h"

#include <setupapi.h>

namespace scanners {

// A registry location: a hive and a path below it. No hive: no such root.
struct RegistryRoot {
    HKEY hive = nullptr;
    std::string path;
    bool IsSet() const { return hive != nullptr; }
};

// Where the drivers' class keys and the services live.
struct DriverRegistryRoots {
    RegistryRoot classRoot;
    RegistryRoot servicesRoot;
};

// The roots for a system as GetVersionEx describes it: the Windows 95 family
// at major version 4 keeps classes under "System\CurrentControlSet\Services\Class"
// and has no services root; the NT family from major version 4 on keeps them
// under "System\CurrentControlSet\Control\Class" and its services under
// "System\CurrentControlSet\Services"; any other system has neither.
DriverRegistryRoots DriverRootsFor(DWORD platformId, DWORD majorVersion);
// The roots of the running system.
DriverRegistryRoots DriverRootsOfThisSystem();

// The Setup API functions the enumeration uses, found by name. Loaded() is
// false when the library or any of the five functions is missing.
class CSetupApi {
public:
    CSetupApi();
    bool Loaded() const { return loaded_; }

    decltype(&::SetupDiGetClassDevsW) GetClassDevs = nullptr;
    decltype(&::SetupDiEnumDeviceInfo) EnumDeviceInfo = nullptr;
    decltype(&::SetupDiGetDeviceRegistryPropertyW) GetDeviceRegistryProperty = nullptr;
    decltype(&::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList = nullptr;
    decltype(&::SetupDiGetDriverInfoDetailW) GetDriverInfoDetail = nullptr;

private:
    platform::UniqueLibrary library_;
    bool loaded_ = false;
};

// A device information set, destroyed with it.
class CDeviceInfoSet {
public:
    // All classes; present devices only when asked.
    CDeviceInfoSet(const CSetupApi& api, bool presentOnly);
    ~CDeviceInfoSet();
    CDeviceInfoSet(const CDeviceInfoSet&) = delete;
    CDeviceInfoSet& operator=(const CDeviceInfoSet&) = delete;
    bool IsOpen() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO get() const { return set_; }
    // The device at `index`; false past the last one.
    bool Device(DWORD index, SP_DEVINFO_DATA& device) const;

private:
    const CSetupApi& api_;
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
};

// A single-text property (at most 512 bytes of UTF-16) in the ANSI code page;
// empty when it cannot be read.
std::string ReadDeviceTextProperty(const CSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property);
// An identifier list (a multi-string) in device order, each in the ANSI code
// page. Read into `firstTryBytes` of buffer first; when that is too small the
// read is repeated once with the size the system reports. Empty when it
// cannot be read.
std::vector<std::string> ReadDeviceIdList(const CSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                                          DWORD firstTryBytes = 8192);

class CSetupDeviceEnumerator final : public IDeviceEnumerator {
public:
    // The roots of the running system and its Windows folder.
    CSetupDeviceEnumerator();
    CSetupDeviceEnumerator(DriverRegistryRoots roots, std::string windowsFolder);

    // One record per device whose description and class are both known.
    int EnumerateDevices(bool presentOnly, DriverRecords& records) override;

    // The driver's class key (class root + "\" + driverKey): its path and the
    // values "DriverDate", "DriverDesc", "DriverVersion", "ProviderName",
    // "DeviceDriver" (the driver file; else the first text value whose name
    // ends in "driver"), "InfPath", "infSection" and "MatchingDeviceId". A key
    // that cannot be opened leaves the path empty and the fields as they are.
    void ReadClassKey(VN_DriverItem& record) const;
    // The service key (services root + "\" + service): its path, the driver
    // file from "ImagePath" when that is set, and "Group".
    void ReadServiceKey(VN_DriverItem& record) const;

    const DriverRegistryRoots& Roots() const { return roots_; }

private:
    DriverRegistryRoots roots_;
    std::string windowsFolder_;
};

}  // namespace scanners
