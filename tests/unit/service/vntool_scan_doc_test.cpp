// vntool scan-doc: the document for stored lists and machine data given on
// the command line, and its errors.
#include <gtest/gtest.h>

#ifdef VNTOOL_PATH

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/temp_folder.h"
#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "platform/files.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class VntoolScanDoc : public ::testing::Test {
protected:
    void SetUp() override {
        VN_ListBase watch;
        auto program = std::make_unique<VN_WatchItem>();
        program->progName = "Mozilla Firefox";
        program->installedVers = "115.0.2";
        program->executableName = "firefox.exe";
        watch.AddTail(std::move(program));
        auto removed = std::make_unique<VN_WatchItem>();
        removed->progName = "Removed";
        removed->removed = item_state::kRemovedByUser;
        watch.AddTail(std::move(removed));
        auto second = std::make_unique<VN_WatchItem>();
        second->progName = "Notepad++";
        watch.AddTail(std::move(second));
        watch.SaveFile(dir_ + "/varnel.db");

        Views::CDriverData drivers;
        auto driver = std::make_unique<VN_DriverItem>();
        driver->deviceDesc = "Ethernet";
        driver->hardwareIds = {"PCI\\VEN_1"};
        drivers.AddTail(std::move(driver));
        drivers.SaveFile(dir_ + "/driverdata.db");
    }
    Result Run(const std::string& args) {
        const std::string errFile = dir_ + "/stderr.txt";
        const std::string command = std::string(VNTOOL_PATH) + " scan-doc " + args + " 2>" + errFile;
        Result r;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return r;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) r.out.append(buf, n);
        const int status = ::pclose(pipe);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.err = platform::ReadWholeFile(errFile).value_or("");
        return r;
    }

    testing_support::TempFolder folder_{"vnscandoc"};
    std::string dir_ = folder_.str();
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(VntoolScanDoc, CheckDocumentWithTheGivenMachineData) {
    const Result r = Run("--machine-name OFFICE-7 --machine-id M-9 --scan-id S-3 --time 2024-06-28T08:16:42 "
                         "--zone -0500 --next-scan 1719648000 --program-md5 0123456789abcdef0123456789abcdef "
                         "--os-name 'Microsoft Windows 11 Home' --memory 8589934592 --cpu-type 586 --cpu-level 6 "
                         "--cpu-revision 7 --setting 'Check for Updates=3' --setting 'WatchList Scan Desktop=0' " +
                         dir_ + "/varnel.db " + dir_ + "/driverdata.db");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& doc = r.out;
    EXPECT_EQ(doc.compare(0, 22, "<?xml version=\"1.0\"?>\n"), 0);
    EXPECT_TRUE(Has(doc, "<scanid>S-3</scanid>\n<timestamp>2024-06-28T03:16:42-0500</timestamp>\n"));
    EXPECT_TRUE(Has(doc, " <machinename>OFFICE-7</machinename>\n <machineid>M-9</machineid>\n</authentication>"));
    EXPECT_TRUE(Has(doc, "  <name>Windows 11 Home</name>\n"));
    EXPECT_TRUE(Has(doc, "  <info>Level 6, Revision 7, ~2904 MHZ</info>\n"));
    EXPECT_TRUE(Has(doc, " <physicalRam>8589934592</physicalRam>\n"));
    EXPECT_TRUE(Has(doc, "<matchdata type=\"MD5\">0123456789abcdef0123456789abcdef</matchdata>"));
    EXPECT_TRUE(Has(doc, " <nextScheduledScan>2024-06-29T03:00:00-0500</nextScheduledScan>\n"));
    EXPECT_TRUE(Has(doc, "<ScanDesktop>false</ScanDesktop>\n"));
    EXPECT_TRUE(Has(doc, "<CheckForUpdatesInterval>10080</CheckForUpdatesInterval>\n"));
    // The present items, numbered in the order written, the driver last.
    EXPECT_TRUE(Has(doc, "<item>\n\t<Sequence>1</Sequence>\n\t<ProgName>Mozilla Firefox</ProgName>\n"));
    EXPECT_TRUE(Has(doc, "<item>\n\t<Sequence>2</Sequence>\n\t<ProgName>Notepad++</ProgName>\n"));
    EXPECT_TRUE(Has(doc, "<item>\n\t<Sequence>3</Sequence>\n\t<DeviceDesc>Ethernet</DeviceDesc>\n"));
    EXPECT_TRUE(Has(doc, "\t<HwId HexRank=\"0\">PCI\\VEN_1</HwId>\n"));
    EXPECT_FALSE(Has(doc, "Removed"));
    EXPECT_EQ(doc.substr(doc.size() - 31), "</software.scanned>\n</meridox>\n");

    // The same input gives the same document.
    const Result again = Run("--machine-name OFFICE-7 --machine-id M-9 --scan-id S-3 --time 2024-06-28T08:16:42 "
                             "--zone -0500 --next-scan 1719648000 --program-md5 0123456789abcdef0123456789abcdef "
                             "--os-name 'Microsoft Windows 11 Home' --memory 8589934592 --cpu-type 586 --cpu-level 6 "
                             "--cpu-revision 7 --setting 'Check for Updates=3' --setting 'WatchList Scan Desktop=0' " +
                             dir_ + "/varnel.db " + dir_ + "/driverdata.db");
    EXPECT_EQ(again.out, doc);
}

TEST_F(VntoolScanDoc, PreScanAndNoSysInfo) {
    const Result r = Run("--prescan --no-sys-info --time 0 --exclusion-date 2001-01-01 " + dir_ + "/varnel.db");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, " <exclusionListDate>2001-01-01</exclusionListDate>\n"));
    EXPECT_TRUE(Has(r.out, "<CollectSystemData>false</CollectSystemData>"));
    EXPECT_TRUE(Has(r.out, "  <version></version>\n"));
    EXPECT_TRUE(Has(r.out, " <manufacturer>Contoso Ltd.</manufacturer>\n"));
    EXPECT_FALSE(Has(r.out, "<item>"));
    EXPECT_FALSE(Has(r.out, "software.scanned"));
    EXPECT_FALSE(Has(r.out, "<scanid>"));
}

TEST_F(VntoolScanDoc, UnreadableInputsAndBadOptionsFailWithOneLine) {
    Result r = Run(dir_ + "/missing.db");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "cannot read")) << r.err;
    EXPECT_TRUE(r.out.empty());

    ASSERT_TRUE(platform::WriteFileAtomically(dir_ + "/damaged.db", "not a database"));
    r = Run(dir_ + "/damaged.db");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());

    // A watch list in place of the driver list is refused, not half-read.
    r = Run(dir_ + "/varnel.db " + dir_ + "/varnel.db");
    EXPECT_EQ(r.status, 1) << r.out;

    for (const std::string bad : {"", "--zone 0500 x.db", "--time yesterday x.db", "--setting Name x.db",
                                  "--bogus 1 x.db", "a.db b.db c.db", "--display 12 x.db",
                                  "--prescan --scan-id S-1 x.db"}) {
        r = Run(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

}  // namespace

#endif  // VNTOOL_PATH
