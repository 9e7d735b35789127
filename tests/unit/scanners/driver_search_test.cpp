// The driver search's decisions on recorded device data: the matching rank,
// which device classes are left out, the driver file from a service's image
// path, and how the driver list follows the devices from one search to the
// next.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/scoped_hook.h"
#include "inventory/driver_data.h"
#include "inventory/inventory_test_support.h"
#include "inventory/watch_item.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "scanners/driver_search.h"

using scanners::VN_DeviceSearch;
using testsupport::LogCapture;
using testsupport::TempDir;

namespace {

std::unique_ptr<VN_DriverItem> Device(const std::string& desc, const std::string& cls, const std::string& date,
                                      const std::string& version) {
    auto d = std::make_unique<VN_DriverItem>();
    d->deviceDesc = desc;
    d->driverDesc = desc;
    d->deviceClass = cls;
    d->driverDate = date;
    d->driverVersion = version;
    d->deviceMfg = "Contoso";
    d->hardwareIds = {"PCI\\VEN_1234&DEV_" + desc.substr(0, 3)};
    return d;
}

// Devices as a search on a desktop machine collected them.
scanners::DriverRecords DesktopDevices() {
    scanners::DriverRecords r;
    r.push_back(testsupport::FullDriverItem());  // Realtek network adapter, class Net
    r.push_back(Device("NVIDIA GeForce GTX 1060 6GB", "Display", "1-9-2020", "26.21.14.4219"));
    r.push_back(Device("Generic volume", "Volume", "6-21-2006", "10.0.19041.1"));
    r.push_back(Device("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz", "Processor", "4-21-2009", "10.0.19041.546"));
    r.push_back(Device("PCI standard host CPU bridge", "System", "6-21-2006", "10.0.19041.1"));
    r.push_back(Device("Communications Port (COM1)", "Ports", "6-21-2006", "10.0.19041.1"));
    r.push_back(Device("USB Root Hub (USB 3.0)", "USB", "6-21-2006", "10.0.19041.1202"));
    r.push_back(Device("USB Root Hub (USB 3.0)", "USB", "6-21-2006", "10.0.19041.1202"));  // a second, identical hub
    r.push_back(Device("HID-compliant mouse", "Mouse", "6-21-2006", "10.0.19041.1"));
    return r;
}

// Hands out copies of its devices on each enumeration, as the system would.
class RecordedDevices final : public scanners::IDeviceEnumerator {
public:
    explicit RecordedDevices(const scanners::DriverRecords* devices, bool available = true, bool throws = false)
        : devices_(devices), available_(available), throws_(throws) {}
    int EnumerateDevices(bool presentOnly, scanners::DriverRecords& records) override {
        EXPECT_TRUE(presentOnly);
        if (throws_) throw std::runtime_error("device list broke");
        if (!available_) return -1;
        for (const auto& d : *devices_) {
            auto copy = std::make_unique<VN_DriverItem>();
            copy->CopyFrom(*d);
            records.push_back(std::move(copy));
        }
        return static_cast<int>(devices_->size());
    }

private:
    const scanners::DriverRecords* devices_;
    bool available_;
    bool throws_;
};

void Search(Views::CDriverData& list, const scanners::DriverRecords& devices) {
    VN_DeviceSearch search(std::make_unique<RecordedDevices>(&devices));
    EXPECT_FALSE(search.SearchDrivers(list));
}

std::vector<std::string> Classes(const Views::CDriverData& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i < list.GetCount(); ++i) out.push_back(list.GetDriverAt(i)->deviceClass);
    return out;
}

class DriverSearch : public ::testing::Test {
protected:
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
};

}  // namespace

TEST(DriverMatchingRank, PositionInHardwareThenCompatibleIdsIgnoringCase) {
    VN_DriverItem d;
    d.hardwareIds = {"USB\\VID_046D&PID_C52B&REV_2410", "USB\\VID_046D&PID_C52B"};
    d.compatibleIds = {"USB\\Class_03&SubClass_01", "USB\\Class_03", "USB\\VID_046D&PID_C52B"};
    struct Case {
        std::string matching;
        int rank;
        std::string text;
    };
    for (const Case& c : {Case{"USB\\VID_046D&PID_C52B&REV_2410", 0, "0"},
                          Case{"usb\\vid_046d&pid_c52b", 1, "1"},  // also a compatible ID: hardware wins
                          Case{"USB\\Class_03&SubClass_01", 0x2000, "2000"},
                          Case{"USB\\CLASS_03", 0x2001, "2001"},
                          Case{"HID\\VID_046D", 9999, "270f"},
                          Case{"", 9999, "270f"}}) {
        d.matchingDeviceId = c.matching;
        EXPECT_EQ(VN_DeviceSearch::GetMatchingRank(d), c.rank) << c.matching;
        EXPECT_EQ(VN_DeviceSearch::GetMatchingRankText(d), c.text) << c.matching;
    }
    VN_DriverItem noIds;
    noIds.matchingDeviceId = "ROOT\\LEGACY";
    EXPECT_EQ(VN_DeviceSearch::GetMatchingRankText(noIds), "270f");
}

TEST(DeviceClassExclusion, DefaultListWhenTheSettingIsEmpty) {
    for (const char* cls : {"Volume", "Processor", "System", "LegacyDriver", "Ports", "fdc", "FloppyDisk", "hdc",
                            "Unknown", "VOLUME", "floppydisk", "HDC"})
        EXPECT_TRUE(scanners::IsExcludedDeviceClass(cls, "")) << cls;
    for (const char* cls : {"Net", "Display", "USB", "Volume ", " Volume", "Vol"})
        EXPECT_FALSE(scanners::IsExcludedDeviceClass(cls, "")) << "[" << cls << "]";
}

TEST(DeviceClassExclusion, SemicolonsCommasAndBlanks) {
    EXPECT_TRUE(scanners::IsExcludedDeviceClass("Net", "Net;Display"));
    EXPECT_TRUE(scanners::IsExcludedDeviceClass("display", "Net;Display"));
    EXPECT_FALSE(scanners::IsExcludedDeviceClass("Volume", "Net;Display"));
    EXPECT_TRUE(scanners::IsExcludedDeviceClass("Media", "Net, Display;\t Media"));  // leading blanks ignored
    // A trailing blank is part of the name and does not match.
    EXPECT_FALSE(scanners::IsExcludedDeviceClass("Net", "Net ;Display"));
    EXPECT_TRUE(scanners::IsExcludedDeviceClass("Display", "Net ;Display"));
    // Empty names between separators name nothing.
    EXPECT_FALSE(scanners::IsExcludedDeviceClass("USB", ";,;"));
    EXPECT_TRUE(scanners::IsExcludedDeviceClass("USB", ";;USB,"));
    // A setting of blanks only is not empty: nothing is left out.
    EXPECT_FALSE(scanners::IsExcludedDeviceClass("Volume", " "));
}

TEST(DriverFile, ImagePathBelowTheWindowsFolder) {
    const std::string win = "C:\\Windows";
    // Relative: the Windows folder in front, the path as stored.
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "System32\\DRIVERS\\rt640x64.sys"),
              "C:\\Windows\\System32\\DRIVERS\\rt640x64.sys");
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "system32\\..\\drivers\\x.sys"),
              "C:\\Windows\\system32\\..\\drivers\\x.sys");
    // The kernel's and the environment's names of the Windows folder.
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "\\SystemRoot\\System32\\drivers\\nvlddmkm.sys"),
              "C:\\Windows\\System32\\drivers\\nvlddmkm.sys");
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "%systemroot%\\system32\\svchost.exe -k netsvcs"),
              "C:\\Windows\\system32\\svchost.exe -k netsvcs");
    // Already complete: taken as it is.
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "C:\\Program Files\\Vendor\\vdrv.sys"),
              "C:\\Program Files\\Vendor\\vdrv.sys");
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "\\??\\D:\\Tools\\kdrv.sys"), "D:\\Tools\\kdrv.sys");
    EXPECT_EQ(scanners::DriverFileFromImagePath(win, "\\\\server\\share\\n.sys"), "\\\\server\\share\\n.sys");
}

TEST_F(DriverSearch, FirstSearchAddsEveryDeviceOutsideTheExcludedClasses) {
    LogCapture log;
    const scanners::DriverRecords devices = DesktopDevices();
    Views::CDriverData list;
    Search(list, devices);

    // Default exclusions drop Volume, Processor, System and Ports; the two
    // identical hubs share one item.
    EXPECT_EQ(Classes(list), (std::vector<std::string>{"Net", "Display", "USB", "Mouse"}));
    for (size_t i = 0; i < list.GetCount(); ++i) EXPECT_TRUE(list.GetDriverAt(i)->driverFlag);
    // A new item carries every field of its record.
    EXPECT_EQ(testsupport::StoredFields(*list.GetDriverAt(0)), testsupport::StoredFields(*devices[0]));

    const std::string text = log.Text();
    const size_t init = text.find(": Init driver items\n");
    const size_t start = text.find(": Start searching drivers\n");
    const size_t end = text.find(":   End searching drivers\n");
    ASSERT_NE(init, std::string::npos);
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(init, start);
    EXPECT_LT(start, end);
}

TEST_F(DriverSearch, TheSettingReplacesTheDefaultExclusions) {
    platform::AppSettings().WriteText(setting::kExcludeDeviceClasses, "Net;Display");
    const scanners::DriverRecords devices = DesktopDevices();
    Views::CDriverData list;
    Search(list, devices);
    EXPECT_EQ(Classes(list), (std::vector<std::string>{"Volume", "Processor", "System", "Ports", "USB", "Mouse"}));
}

TEST_F(DriverSearch, DriversFoundAgainKeepTheirItemsAndWhatTheServiceAndUserSet) {
    const scanners::DriverRecords devices = DesktopDevices();
    Views::CDriverData list;
    Search(list, devices);
    VN_DriverItem* display = list.GetDriverAt(1);
    display->currentVers = "27.21.14.5671";
    display->outdated = true;
    display->skipped = true;
    VN_DriverItem* mouse = list.GetDriverAt(3);
    mouse->removed = item_state::kRemovedByUser;
    mouse->deviceMfg = "(as first seen)";

    scanners::DriverRecords again = DesktopDevices();
    again[1]->deviceDesc = "nvidia geforce gtx 1060 6gb";  // case alone does not make a new driver
    again[1]->driverDesc = "NVIDIA GEFORCE GTX 1060 6GB";
    Search(list, again);

    ASSERT_EQ(list.GetCount(), 4u);
    EXPECT_EQ(list.GetDriverAt(1), display);
    EXPECT_EQ(display->deviceDesc, "NVIDIA GeForce GTX 1060 6GB");
    EXPECT_EQ(display->currentVers, "27.21.14.5671");
    EXPECT_TRUE(display->skipped);
    EXPECT_EQ(list.GetDriverAt(3), mouse);
    EXPECT_EQ(mouse->removed, item_state::kRemovedByUser);
    EXPECT_EQ(mouse->deviceMfg, "(as first seen)");
}

TEST_F(DriverSearch, ChangedDriversReplaceTheirOldItemsAndGoneDevicesLeave) {
    scanners::DriverRecords devices = DesktopDevices();
    Views::CDriverData list;
    Search(list, devices);
    ASSERT_EQ(list.GetCount(), 4u);

    devices[1]->driverDate = "3-2-2021";  // display driver updated: new date and version
    devices[1]->driverVersion = "27.21.14.5671";
    devices[6]->driverVersion = "10.0.19041.1500";  // hub driver: new version only
    devices[7]->driverVersion = "10.0.19041.1500";
    devices.pop_back();  // the mouse was unplugged
    Search(list, devices);

    // The search (a worker) only marks the old display and hub drivers and
    // the mouse gone; the user-interface thread deletes them, where no view
    // can be drawing them.
    ASSERT_EQ(list.GetCount(), 6u);
    EXPECT_EQ(list.GetDriverAt(0)->removed, item_state::kPresent);
    EXPECT_EQ(list.GetDriverAt(3)->removed, item_state::kGone);
    EXPECT_EQ(list.DeleteGoneDrivers(), 3u);
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(Classes(list), (std::vector<std::string>{"Net", "Display", "USB"}));
    EXPECT_EQ(list.GetDriverAt(1)->driverVersion, "27.21.14.5671");
    EXPECT_EQ(list.GetDriverAt(1)->driverDate, "3-2-2021");
    EXPECT_EQ(list.GetDriverAt(2)->driverVersion, "10.0.19041.1500");
}

TEST_F(DriverSearch, AnUnreadableDeviceListKeepsTheList) {
    const scanners::DriverRecords devices = DesktopDevices();
    Views::CDriverData list;
    Search(list, devices);
    list.GetDriverAt(0)->skipped = true;

    {
        LogCapture log;
        VN_DeviceSearch unavailable(std::make_unique<RecordedDevices>(&devices, false));
        EXPECT_FALSE(unavailable.SearchDrivers(list));
        EXPECT_NE(log.Text().find(":   End searching drivers\n"), std::string::npos);
    }
    {
        LogCapture log;
        VN_DeviceSearch broken(std::make_unique<RecordedDevices>(&devices, true, true));
        EXPECT_FALSE(broken.SearchDrivers(list));
        EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_DeviceSearch::EnumerateDevices"));
    }
    EXPECT_EQ(Classes(list), (std::vector<std::string>{"Net", "Display", "USB", "Mouse"}));
    EXPECT_TRUE(list.GetDriverAt(0)->skipped);
    for (size_t i = 0; i < list.GetCount(); ++i) EXPECT_TRUE(list.GetDriverAt(i)->driverFlag);

    // An empty but readable device list does remove every driver.
    const scanners::DriverRecords none;
    Search(list, none);
    EXPECT_EQ(list.GetCount(), 4u);
    // Plugged in again before the deletion came round, a driver is present after all.
    scanners::DriverRecords mouseOnly;
    mouseOnly.push_back(std::move(DesktopDevices().back()));
    Search(list, mouseOnly);
    EXPECT_EQ(list.GetDriverAt(3)->removed, item_state::kPresent);
    EXPECT_EQ(list.DeleteGoneDrivers(), 3u);
    EXPECT_EQ(Classes(list), std::vector<std::string>{"Mouse"});
}

TEST_F(DriverSearch, RecordsWithoutAClassNeverEnterTheList) {
    scanners::DriverRecords devices;
    devices.push_back(Device("Unnamed device", "", "6-21-2006", "1.0"));
    devices.push_back(Device("Contoso widget", "Widget", "6-21-2006", "1.0"));
    Views::CDriverData list;
    Search(list, devices);
    EXPECT_EQ(Classes(list), std::vector<std::string>{"Widget"});
}

TEST_F(DriverSearch, SearchRunsOnlyWhenDeviceScanningIsOn) {
    Views::CDriverData list;
    list.AddTail(testsupport::FullDriverItem());
    platform::AppSettings().WriteNumber(setting::kScanDevices, 0);
    EXPECT_FALSE(scanners::SearchDriversIfEnabled(list));
    platform::AppSettings().WriteNumber(setting::kScanDevices, 1);
    // The host has no device list, so the search runs and keeps the driver.
    EXPECT_TRUE(scanners::SearchDriversIfEnabled(list));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(DriverData, LivesInItsFileAndHoldsDriversOnly) {
    TempDir dir;
    Views::CDriverData list(dir.Path());
    EXPECT_EQ(list.GetDatabasePath(), dir.Path() + "\\driverdata.db");
    EXPECT_EQ(Views::CDriverData().GetDatabasePath(), "");

    // A file of the driver list that holds a program fails to load, leaving
    // the list empty rather than holding an item its users do not expect.
    const std::string path = dir.File("mixed.db");
    VN_ListUpdatedBase mixed(path);
    mixed.AddTail(testsupport::FullDriverItem());
    mixed.AddTail(testsupport::FullWatchItem());
    ASSERT_TRUE(mixed.Save());
    Views::CDriverData drivers;
    EXPECT_FALSE(drivers.LoadFile(path));
    EXPECT_TRUE(drivers.IsEmpty());

    VN_ListUpdatedBase onlyDrivers(path);
    onlyDrivers.AddTail(testsupport::FullDriverItem());
    ASSERT_TRUE(onlyDrivers.Save());
    EXPECT_TRUE(drivers.LoadFile(path));
    ASSERT_EQ(drivers.GetCount(), 1u);
    EXPECT_EQ(drivers.GetDriverAt(0)->service, "rt640x64");
}
