// The driver search against Wine's Setup API and registry: the devices Wine
// reports, the identifier lists (also through the retry with the size the
// system asks for), class keys and service keys under test roots, and whole
// searches over a driver list.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/scoped_hook.h"
#include "inventory/driver_data.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "scanners/win/device_search.h"
#include "scanners_win_support.h"

using scanners::CSetupDeviceEnumerator;
using testsupport::TestRegistryKey;

namespace {

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

bool KeyExists(HKEY hive, const std::string& path) {
    platform::UniqueKey key;
    return RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::set<std::string> ClassesOf(const scanners::DriverRecords& records) {
    std::set<std::string> out;
    for (const auto& r : records) out.insert(r->deviceClass);
    return out;
}

class DeviceSearchWin : public ::testing::Test {
protected:
    // The search reads "Exclude Device Classes": keep the user's settings out of it.
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
};

}  // namespace

TEST(DriverRootsWin, ChosenBySystemFamilyAndVersion) {
    const auto w95 = scanners::DriverRootsFor(VER_PLATFORM_WIN32_WINDOWS, 4);
    EXPECT_EQ(w95.classRoot.hive, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(w95.classRoot.path, "System\\CurrentControlSet\\Services\\Class");
    EXPECT_FALSE(w95.servicesRoot.IsSet());
    for (DWORD major : {4u, 5u, 6u, 10u}) {
        const auto nt = scanners::DriverRootsFor(VER_PLATFORM_WIN32_NT, major);
        EXPECT_EQ(nt.classRoot.path, "System\\CurrentControlSet\\Control\\Class") << major;
        EXPECT_EQ(nt.servicesRoot.hive, HKEY_LOCAL_MACHINE) << major;
        EXPECT_EQ(nt.servicesRoot.path, "System\\CurrentControlSet\\Services") << major;
    }
    for (auto other : {scanners::DriverRootsFor(VER_PLATFORM_WIN32_NT, 3),
                       scanners::DriverRootsFor(VER_PLATFORM_WIN32_WINDOWS, 5),
                       scanners::DriverRootsFor(VER_PLATFORM_WIN32s, 4)}) {
        EXPECT_FALSE(other.classRoot.IsSet());
        EXPECT_FALSE(other.servicesRoot.IsSet());
    }
    // Wine presents itself as an NT-family system.
    EXPECT_EQ(scanners::DriverRootsOfThisSystem().servicesRoot.path, "System\\CurrentControlSet\\Services");
}

TEST(DeviceEnumerationWin, RecordsOfWinesDevicesPointAtRealKeysAndFiles) {
    CSetupDeviceEnumerator enumerator;
    scanners::DriverRecords records;
    const int added = enumerator.EnumerateDevices(true, records);
    ASSERT_GT(added, 0) << "Wine reports its bus and HID devices";
    ASSERT_EQ(static_cast<size_t>(added), records.size());

    size_t withIds = 0, withClassKey = 0, withService = 0;
    const std::string windows = WindowsFolder();
    for (const auto& r : records) {
        SCOPED_TRACE(r->deviceDesc);
        EXPECT_FALSE(r->deviceDesc.empty());
        EXPECT_FALSE(r->deviceClass.empty());
        EXPECT_EQ(r->classGuid.size(), 38u);
        EXPECT_TRUE(r->driverFlag);
        if (!r->hardwareIds.empty()) ++withIds;
        for (const auto& id : r->hardwareIds) EXPECT_FALSE(id.empty());
        if (!r->driverKeyPath.empty()) {
            ++withClassKey;
            EXPECT_EQ(r->driverKeyPath, "System\\CurrentControlSet\\Control\\Class\\" + r->driverKey);
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, r->driverKeyPath));
        }
        if (!r->serviceKeyPath.empty()) {
            ++withService;
            EXPECT_EQ(r->serviceKeyPath, "System\\CurrentControlSet\\Services\\" + r->service);
            // Wine stores complete image paths; the driver file must name the
            // file itself, not the Windows folder twice.
            EXPECT_NE(GetFileAttributesA(r->files.c_str()), INVALID_FILE_ATTRIBUTES) << r->files;
            EXPECT_TRUE(textutil::StartsWithNoCase(r->files, windows)) << r->files;
        }
    }
    EXPECT_GT(withIds, 0u);
    EXPECT_GT(withClassKey, 0u);
    EXPECT_GT(withService, 0u);

    // Every present device is also among all devices.
    scanners::DriverRecords all;
    EXPECT_GE(enumerator.EnumerateDevices(false, all), added);
}

TEST(DeviceEnumerationWin, IdListsReadTheSameThroughTheRetry) {
    scanners::CSetupApi api;
    ASSERT_TRUE(api.Loaded());
    scanners::CDeviceInfoSet devices(api, true);
    ASSERT_TRUE(devices.IsOpen());
    size_t retried = 0;
    SP_DEVINFO_DATA device;
    for (DWORD i = 0; devices.Device(i, device); ++i) {
        for (DWORD property : {static_cast<DWORD>(SPDRP_HARDWAREID), static_cast<DWORD>(SPDRP_COMPATIBLEIDS)}) {
            const auto full = scanners::ReadDeviceIdList(api, devices.get(), device, property);
            // A first buffer of 4 bytes is too small for any identifier.
            const auto retry = scanners::ReadDeviceIdList(api, devices.get(), device, property, 4);
            EXPECT_EQ(retry, full) << "device " << i << " property " << property;
            if (!full.empty()) ++retried;
        }
    }
    EXPECT_GT(retried, 0u);
}

TEST(DeviceEnumerationWin, ClassKeyValues) {
    TestRegistryKey key("class-key");
    const scanners::RegistryRoot classRoot{HKEY_CURRENT_USER, key.Path() + "\\Class"};
    CSetupDeviceEnumerator enumerator({classRoot, {}}, "C:\\Windows");
    const std::string nic = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
    const std::string cam = "{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0000";
    key.SetText("Class\\" + nic, "DriverDate", "11-17-2019");
    key.SetText("Class\\" + nic, "DriverDesc", "  Realtek PCIe GbE Family Controller ");
    key.SetText("Class\\" + nic, "DriverVersion", "10.38.1117.2019");
    key.SetText("Class\\" + nic, "ProviderName", "Realtek");
    key.SetText("Class\\" + nic, "DeviceDriver", "rt640x64.sys");
    key.SetText("Class\\" + nic, "InfPath", "oem7.inf");
    key.SetText("Class\\" + nic, "infSection", "RTL8168h.ndi.NT");
    key.SetText("Class\\" + nic, "MatchingDeviceId", "pci\\ven_10ec&dev_8168&rev_15");
    // No "DeviceDriver": the first text value named "...driver" gives the file.
    const char multi[] = "coinst.dll\0";
    key.Set("Class\\" + cam, "CoInstallerDriver", REG_MULTI_SZ, multi, sizeof multi);
    key.SetText("Class\\" + cam, "UpperDrivers", "camfilter.sys");
    key.SetText("Class\\" + cam, "KernelModeDRIVER", "camera.sys");
    key.SetText("Class\\" + cam, "DriverVersion", "6.1.7600.16385");

    VN_DriverItem r;
    r.deviceDesc = r.driverDesc = "Device description";
    r.driverKey = nic;
    enumerator.ReadClassKey(r);
    EXPECT_EQ(r.driverKeyPath, classRoot.path + "\\" + nic);
    EXPECT_EQ(r.driverDate, "11-17-2019");
    EXPECT_EQ(r.driverDesc, "Realtek PCIe GbE Family Controller");
    EXPECT_EQ(r.driverVersion, "10.38.1117.2019");
    EXPECT_EQ(r.driverProvider, "Realtek");
    EXPECT_EQ(r.files, "rt640x64.sys");
    EXPECT_EQ(r.infPath, "oem7.inf");
    EXPECT_EQ(r.infSection, "RTL8168h.ndi.NT");
    EXPECT_EQ(r.matchingDeviceId, "pci\\ven_10ec&dev_8168&rev_15");

    VN_DriverItem c;
    c.deviceDesc = c.driverDesc = "USB Camera";
    c.driverKey = cam;
    enumerator.ReadClassKey(c);
    EXPECT_EQ(c.files, "camera.sys");
    EXPECT_EQ(c.driverDesc, "");  // the key opened but has no description
    EXPECT_EQ(c.driverVersion, "6.1.7600.16385");

    // No such key, or no key named at all: no path, fields untouched.
    for (const std::string& missing : {cam.substr(0, 38) + "\\0007", std::string()}) {
        VN_DriverItem m;
        m.deviceDesc = m.driverDesc = "Unknown device";
        m.driverKey = missing;
        m.driverKeyPath = "stale";
        enumerator.ReadClassKey(m);
        EXPECT_EQ(m.driverKeyPath, "");
        EXPECT_EQ(m.driverDesc, "Unknown device");
        EXPECT_EQ(m.files, "");
    }
}

TEST(DeviceEnumerationWin, ServiceKeyValues) {
    TestRegistryKey key("service-key");
    const scanners::RegistryRoot servicesRoot{HKEY_CURRENT_USER, key.Path() + "\\Services"};
    CSetupDeviceEnumerator enumerator({{}, servicesRoot}, "C:\\Windows");
    key.SetText("Services\\rt640x64", "ImagePath", "System32\\DRIVERS\\rt640x64.sys", REG_EXPAND_SZ);
    key.SetText("Services\\rt640x64", "Group", "NDIS");
    key.SetText("Services\\nvlddmkm", "ImagePath", "\\SystemRoot\\system32\\DRIVERS\\nvlddmkm.sys", REG_EXPAND_SZ);
    key.SetText("Services\\noimage", "Group", "Base");

    VN_DriverItem r;
    r.service = "rt640x64";
    r.files = "from the class key.sys";
    enumerator.ReadServiceKey(r);
    EXPECT_EQ(r.serviceKeyPath, servicesRoot.path + "\\rt640x64");
    EXPECT_EQ(r.files, "C:\\Windows\\System32\\DRIVERS\\rt640x64.sys");
    EXPECT_EQ(r.serviceGroup, "NDIS");

    VN_DriverItem n;
    n.service = "nvlddmkm";
    enumerator.ReadServiceKey(n);
    EXPECT_EQ(n.files, "C:\\Windows\\system32\\DRIVERS\\nvlddmkm.sys");

    VN_DriverItem keep;
    keep.service = "noimage";
    keep.files = "from the class key.sys";
    enumerator.ReadServiceKey(keep);
    EXPECT_EQ(keep.files, "from the class key.sys");
    EXPECT_EQ(keep.serviceGroup, "Base");

    VN_DriverItem gone;
    gone.service = "absent";
    gone.serviceKeyPath = "stale";
    enumerator.ReadServiceKey(gone);
    EXPECT_EQ(gone.serviceKeyPath, "");
}

TEST_F(DeviceSearchWin, SearchIsRepeatableAndLeavesOutExcludedClasses) {
    scanners::DriverRecords seen;
    ASSERT_GT(CSetupDeviceEnumerator().EnumerateDevices(true, seen), 0);
    const std::set<std::string> classes = ClassesOf(seen);
    // Wine's bus drivers are of class System, which the default list leaves out.
    ASSERT_TRUE(classes.count("System")) << "expected Wine's bus drivers";

    Views::CDriverData list;
    EXPECT_FALSE(scanners::VN_DeviceSearch().SearchDrivers(list));
    ASSERT_GT(list.GetCount(), 0u);
    std::vector<VN_ItemGrandBase*> first = list.Snapshot();
    for (VN_ItemGrandBase* entry : first) {
        const auto* d = dynamic_cast<VN_DriverItem*>(entry);
        ASSERT_NE(d, nullptr);
        EXPECT_FALSE(scanners::IsExcludedDeviceClass(d->deviceClass, "")) << d->deviceClass;
        EXPECT_TRUE(d->driverFlag);
    }

    // Nothing changed on the machine: the same items, in the same order.
    EXPECT_FALSE(scanners::VN_DeviceSearch().SearchDrivers(list));
    EXPECT_EQ(list.Snapshot(), first);

    // The user leaves out HID devices instead: they go (marked gone by the
    // search, deleted where no view draws them), the bus drivers come.
    platform::AppSettings().WriteText(setting::kExcludeDeviceClasses, "HIDClass");
    scanners::VN_DeviceSearch().SearchDrivers(list);
    for (size_t i = 0; i < list.GetCount(); ++i) {
        if (list.GetDriverAt(i)->deviceClass == "HIDClass") {
            EXPECT_EQ(list.GetDriverAt(i)->removed, item_state::kGone);
        }
    }
    EXPECT_GT(list.DeleteGoneDrivers(), 0u);
    std::set<std::string> now;
    for (size_t i = 0; i < list.GetCount(); ++i) now.insert(list.GetDriverAt(i)->deviceClass);
    EXPECT_EQ(now.count("HIDClass"), 0u);
    EXPECT_EQ(now.count("System"), 1u);
}
