// The scan request, byte for byte: the expected documents are written out
// here by hand, line by line, not produced by the code under test.
#include <gtest/gtest.h>

#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "platform/setting_names.h"
#include "common/scan_document_support.h"

namespace {

using scandoc::Environment;
using scandoc::MakeBuffer;
using scandoc::Write;

const char kHeader[] =
    "<?xml version=\"1.0\"?>\n"
    "<meridox xmlns=\"http://update.zelto.example/xmlschemas/connect.up/\" revision=\"0\" "
    "clientPlatform=\"windows\" clientVersion=\"1.3.1.55\">\n";

// The profile of the fixed office machine, without its closing timestamp lines.
const char kProfileBody[] =
    "<systemProfile>\n"
    " <platform>Windows</platform>\n"
    " <manufacturer>Dell Inc.</manufacturer>\n"
    " <model>OptiPlex 7090</model>\n"
    " <operatingSystem>\n"
    "  <name>Windows 10 Pro</name>\n"
    "  <version>10.0  (Build 19045)</version>\n"
    "  <location>C:\\WINDOWS</location>\n"
    " </operatingSystem>\n"
    " <architecture>\n"
    "  <type>Intel64 Family 6 Model 165 Stepping 5</type>\n"
    "  <info>, ~2904 MHZ</info>\n"
    "  <processors>8</processors>\n"
    " </architecture>\n"
    " <physicalRam>17054822400</physicalRam>\n"
    " <clientinfo>\n"
    "  <version>1.3.1.55</version>\n"
    "  <matchdata type=\"MD5\">5d41402abc4b2a76b9719d911017c592</matchdata>\n"
    " </clientinfo>\n"
    " <display>\n"
    "  <resolution>1920x1080</resolution>\n"
    " </display>\n";

const char kDefaultClientSettings[] =
    "<clientsettings>\n"
    "<CollectSystemData>true</CollectSystemData>\n"
    "<ScanDrivers>true</ScanDrivers>\n"
    "<ScanDesktop>true</ScanDesktop>\n"
    "<ScanOpenApplications>true</ScanOpenApplications>\n"
    "<ScanRecentApplications>true</ScanRecentApplications>\n"
    "<ScanStartMenu>true</ScanStartMenu><CheckForUpdatesInterval>1440</CheckForUpdatesInterval>\n"
    "</clientsettings>\n";

class ScanDocumentTest : public ::testing::Test {
protected:
    Environment env_;
};

TEST_F(ScanDocumentTest, PreScanRequestCarriesIdentityProfileAndSettingsOnly) {
    VN_ListBase watch;
    auto item = std::make_unique<VN_WatchItem>();
    item->progName = "Never sent in a pre-scan";
    watch.AddTail(std::move(item));

    auto buffer = MakeBuffer(&watch, nullptr, vnxml::kPreScanRequest);
    buffer->authentication.exclusionListDate = "2001-01-01";
    const auto [failed, text] = Write(*buffer);
    EXPECT_FALSE(failed);
    const std::string expected = std::string(kHeader) +
                                 "<timestamp>2024-06-28T10:16:42+0200</timestamp>\n"
                                 "<authentication>\n"
                                 " <machinename>TESTHOST</machinename>\n"
                                 " <machineid></machineid>\n"
                                 " <exclusionListDate>2001-01-01</exclusionListDate>\n"
                                 "</authentication>" +
                                 kProfileBody +
                                 " <timestamp>2024-06-28T10:16:42+0200</timestamp>\n"
                                 "</systemProfile>" +
                                 kDefaultClientSettings + "</meridox>\n";
    EXPECT_EQ(text, expected);
}

// Every shape of item the watch list holds, and one driver.
class CheckDocumentTest : public ScanDocumentTest {
protected:
    void SetUp() override {
        platform::Settings& settings = platform::AppSettings();
        settings.WriteText(setting::kMachineId, "M-42");
        settings.WriteNumber(setting::kCheckForUpdates, 1);   // every 4 hours
        settings.WriteNumber(setting::kScanDesktop, 0);

        auto program = std::make_unique<VN_WatchItem>();
        program->sequence = 11;
        program->targetName = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";
        program->executableName = "firefox.exe";
        program->progName = "Mozilla Firefox";
        program->packageName = "Mozilla Corporation";
        program->installedVers = "1.0";
        program->installedVers2 = "1.0";
        program->installedVers3 = "2.0";
        program->source = "exe";
        program->shortcutName = "C:\\Users\\Ann\\Desktop\\Firefox.lnk";
        program->serverId = "fp-101";
        program->signature = "Mozilla Firefox (x64 en-US)";
        program->productId = "101";
        program->serverNeedsIcon = true;
        program_ = program.get();
        env_.services().digests[program->targetName] = "0f343b0931126a20f133d67c2b018a3b";
        watch_.AddTail(std::move(program));

        auto component = std::make_unique<VN_WatchItem>();
        component->sequence = 12;
        component->productGuid = "{90160000-008C-0000-1000-0000000FF1CE}";
        component->componentGuid = "{8B1BF0B4-A1CA-4656-AA46-D11C50BC55A4}";
        component->comFromReg = true;
        component->progName = "Office Shared Component";
        component->installedVers = "1.0";
        component->installedVers2 = "1.1";
        component->installedVers3 = "1.1";
        watch_.AddTail(std::move(component));

        auto suite = std::make_unique<VN_WatchItem>();
        suite->sequence = 13;
        suite->productGuid = "{23170F69-40C1-2702-2301-000001000000}";
        suite->installedVers = "23.01.00.0";
        suite->productId = "107";
        suite->serverNeedsIcon = true;
        suite_ = suite.get();
        env_.installer().products[suite->productGuid] = {
            {"InstalledProductName", "7-Zip 23.01 (x64 edition)"},
            {"VersionString", " 23.01.00.0 "},  // the installer's text is trimmed
            {"HelpLink", "https://www.7-zip.org/?a=1&b=2"},
            {"Publisher", "Igor Pavlov"},
            {"Language", "1033"},
        };
        watch_.AddTail(std::move(suite));

        auto reported = std::make_unique<VN_WatchItem>();
        reported->sequence = 14;
        reported->progName = "Caf\xE9 <Beta> & Co\x01";
        reported->installedVers = "2.0";
        reported->executableName = "cafe.exe";
        reported->source = "exe";
        reported->description = "Line one\tTab";
        reported->error = "Access denied";
        reported->reportComments = "Name is \"wrong\" & old";
        reported->reportReason = 183;
        watch_.AddTail(std::move(reported));

        auto removed = std::make_unique<VN_WatchItem>();
        removed->sequence = 15;
        removed->progName = "Removed by the user";
        removed->removed = item_state::kRemovedByUser;
        watch_.AddTail(std::move(removed));

        auto gone = std::make_unique<VN_WatchItem>();
        gone->sequence = 16;
        gone->progName = "Uninstalled";
        gone->removed = item_state::kGone;
        watch_.AddTail(std::move(gone));

        auto unknown = std::make_unique<VN_WatchItem>();
        unknown->sequence = 17;
        unknown->progName = "Untracked Tool";
        unknown->iconPath = "C:\\Tools\\tool.ico";
        unknown->serverNeedsIcon = true;  // but no product id: never an icon
        watch_.AddTail(std::move(unknown));

        auto driver = std::make_unique<VN_DriverItem>();
        driver->sequence = 21;
        driver->deviceDesc = "Intel(R) Ethernet Connection I219-LM";
        driver->deviceClass = "Net";
        driver->deviceMfg = "Intel";
        driver->driverDate = "3-4-2021";
        driver->driverDesc = "Intel(R) Ethernet Connection I219-LM";
        driver->driverVersion = "12.19.1.37";
        driver->driverProvider = "Intel";
        driver->matchingDeviceId = "PCI\\VEN_8086&DEV_15BB";
        driver->files = "e1d68x64.sys";
        driver->infPath = "oem12.inf";
        driver->hardwareIds = {"PCI\\VEN_8086&DEV_15BB&SUBSYS_07D01028&REV_10", "PCI\\VEN_8086&DEV_15BB"};
        driver->compatibleIds = {"PCI\\CC_020000"};
        driver->reportComments = "Driver & device mismatch";
        driver->reportReason = 187;
        drivers_.AddTail(std::move(driver));
    }

    VN_ListBase watch_;
    Views::CDriverData drivers_;
    VN_WatchItem* program_ = nullptr;
    VN_WatchItem* suite_ = nullptr;
};

const char kCheckItems[] =
    "<software.scanned revision=\"0\">\n"
    "<item>\n"
    "\t<Sequence>11</Sequence>\n"
    "<Md5Id src=\"exe\">0f343b0931126a20f133d67c2b018a3b</Md5Id><ProcessIdentity>\n"
    " <BaseName>firefox.exe</BaseName>\n"
    " <PathName>C:\\Program Files\\Mozilla Firefox\\firefox.exe</PathName>\n"
    "</ProcessIdentity>\t<ProgName>Mozilla Firefox</ProgName>\n"
    "\t<PackageName>Mozilla Corporation</PackageName>\n"
    "\t<InstalledVers>1.0</InstalledVers>\n"
    "\t<Source>exe</Source>\n"
    "\t<ExecutableName>firefox.exe</ExecutableName>\n"
    "\t<ShortcutName>C:\\Users\\Ann\\Desktop\\Firefox.lnk</ShortcutName>\n"
    "\t<TargetName>C:\\Program Files\\Mozilla Firefox\\firefox.exe</TargetName>\n"
    "\t<ID type=\"fingerPrint\">fp-101</ID>\n"
    "\t<Md5Id>533ed8d1d2dfb6d6e8bbfab422e3e638</Md5Id>\n"
    "\t<Signature>Mozilla Firefox (x64 en-US)</Signature>\n"
    "<icon productID=\"101\" from=\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"/>\n"
    "</item>\n"
    "<item>\n"
    "\t<Sequence>12</Sequence>\n"
    "\t<ProgName>Office Shared Component</ProgName>\n"
    "\t<InstalledVers>1.0</InstalledVers>\n"
    "\t<InstalledVers2>1.1</InstalledVers2>\n"
    "\t<Source>registry</Source>\n"
    "\t<ExecutableName></ExecutableName>\n"
    "\t<ItemType>comFromReg</ItemType>\n"
    "<GUID type=\"product\">{90160000-008C-0000-1000-0000000FF1CE}</GUID>\n"
    "<GUID type=\"component\">{8B1BF0B4-A1CA-4656-AA46-D11C50BC55A4}</GUID>\n"
    "</item>\n"
    "<item>\n"
    "\t<Sequence>13</Sequence>\n"
    "\t<ProgName></ProgName>\n"
    "\t<InstalledVers>23.01.00.0</InstalledVers>\n"
    "\t<Source>registry</Source>\n"
    "\t<ExecutableName></ExecutableName>\n"
    "<GUID type=\"product\">{23170F69-40C1-2702-2301-000001000000}</GUID>\n"
    "<ItemType>suite</ItemType>\n"
    "<Md5Id src=\"guid\">30b7a365b566e82f29c37c6a9f7ffe7c</Md5Id>\n"
    "<SuiteIdentity>\n"
    "<InstalledProductName>7-Zip 23.01 (x64 edition)</InstalledProductName>\n"
    "<VersionString>23.01.00.0</VersionString>\n"
    "<HelpLink>https://www.7-zip.org/?a=1&amp;b=2</HelpLink>\n"
    "<Publisher>Igor Pavlov</Publisher>\n"
    "<Language>1033</Language>\n"
    "</SuiteIdentity>\n"
    "<icon generic=\"true\"></icon>\n"
    "</item>\n"
    "<item>\n"
    "\t<Sequence>14</Sequence>\n"
    "\t<ProgName>Caf &lt;Beta&gt; &amp; Co</ProgName>\n"
    "\t<InstalledVers>2.0</InstalledVers>\n"
    "\t<Source>exe</Source>\n"
    "\t<ExecutableName>cafe.exe</ExecutableName>\n"
    "\t<Description>Line one\tTab</Description>\n"
    "\t<Error>Access denied</Error>\n"
    "\t<submission>\n"
    "\t\t<reason>Product name is incorrect</reason>\n"
    "\t\t<comments>Name is \"wrong\" &amp; old</comments>\n"
    "\t</submission>\n"
    "</item>\n"
    "<item>\n"
    "\t<Sequence>17</Sequence>\n"
    "\t<ProgName>Untracked Tool</ProgName>\n"
    "\t<InstalledVers></InstalledVers>\n"
    "\t<Source>registry</Source>\n"
    "\t<ExecutableName></ExecutableName>\n"
    "</item>\n"
    "<item>\n"
    "\t<Sequence>21</Sequence>\n"
    "\t<DeviceDesc>Intel(R) Ethernet Connection I219-LM</DeviceDesc>\n"
    "\t<DeviceClass>Net</DeviceClass>\n"
    "\t<DeviceMfg>Intel</DeviceMfg>\n"
    "\t<DriverDate>3-4-2021</DriverDate>\n"
    "\t<DriverDesc>Intel(R) Ethernet Connection I219-LM</DriverDesc>\n"
    "\t<DriverVersion>12.19.1.37</DriverVersion>\n"
    "\t<DriverProvider>Intel</DriverProvider>\n"
    "\t<MatchingDeviceId>PCI\\VEN_8086&amp;DEV_15BB</MatchingDeviceId>\n"
    "\t<MatchingHexRank>1</MatchingHexRank>\n"
    "\t<Files>e1d68x64.sys</Files>\n"
    "\t<InfPath>oem12.inf</InfPath>\n"
    "\t<HwId HexRank=\"0\">PCI\\VEN_8086&amp;DEV_15BB&amp;SUBSYS_07D01028&amp;REV_10</HwId>\n"
    "\t<HwId HexRank=\"1\">PCI\\VEN_8086&amp;DEV_15BB</HwId>\n"
    "\t<HwId HexRank=\"2000\">PCI\\CC_020000</HwId>\n"
    "\t<submission>\n"
    "\t\t<reason>Driver is not listed correctly</reason>\n"
    "\t\t<comments>Driver &amp; device mismatch</comments>\n"
    "\t</submission>\n"
    "\t<ItemType>driver</ItemType>\n"
    "</item>\n"
    "</software.scanned>\n";

TEST_F(CheckDocumentTest, CheckRequestWritesEveryPresentItemOfBothLists) {
    auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    buffer->scanId = "S-77";
    buffer->profile.nextScheduledScan = scandoc::kTime + 86400;
    std::vector<std::pair<int, int>> phases;
    buffer->progress = [&](int phase, int mark) { phases.emplace_back(phase, mark); };

    const auto [failed, text] = Write(*buffer);
    EXPECT_FALSE(failed);
    const std::string expected = std::string(kHeader) +
                                 "<scanid>S-77</scanid>\n"
                                 "<timestamp>2024-06-28T10:16:42+0200</timestamp>\n"
                                 "<authentication>\n"
                                 " <machinename>TESTHOST</machinename>\n"
                                 " <machineid>M-42</machineid>\n"
                                 "</authentication>" +
                                 kProfileBody +
                                 " <nextScheduledScan>2024-06-29T10:16:42+0200</nextScheduledScan>\n"
                                 " <timestamp>2024-06-28T10:16:42+0200</timestamp>\n"
                                 "</systemProfile>"
                                 "<clientsettings>\n"
                                 "<CollectSystemData>true</CollectSystemData>\n"
                                 "<ScanDrivers>true</ScanDrivers>\n"
                                 "<ScanDesktop>false</ScanDesktop>\n"
                                 "<ScanOpenApplications>true</ScanOpenApplications>\n"
                                 "<ScanRecentApplications>true</ScanRecentApplications>\n"
                                 "<ScanStartMenu>true</ScanStartMenu><CheckForUpdatesInterval>240</"
                                 "CheckForUpdatesInterval>\n"
                                 "</clientsettings>\n" +
                                 kCheckItems + "</meridox>\n";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(phases, (std::vector<std::pair<int, int>>{{5, 0}}));

    // The program's icons went out, so the service's request for them is
    // answered; the suite had no file to take icons from and still owes them.
    EXPECT_EQ(env_.services().iconRequests,
              (std::vector<std::pair<std::string, std::string>>{{"101", program_->targetName}}));
    EXPECT_FALSE(program_->serverNeedsIcon);
    EXPECT_TRUE(suite_->serverNeedsIcon);
}

TEST_F(CheckDocumentTest, ScanTimeIsTheDocumentsTimestamp) {
    struct Link : vnxml::IWatchListLink {
        int64_t scanTime = 0;
        void SetScanTime(int64_t time) override { scanTime = time; }
        void ItemFlagsReset() override {}
        void KeepSubscriptionNote(const vnxml::CXMLSubscriptionNote&) override {}
    } link;
    auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    buffer->watchListLink = &link;
    Write(*buffer);
    EXPECT_EQ(link.scanTime, scandoc::kTime);
}

TEST_F(CheckDocumentTest, StoredIdentifiersAreEscapedSoTheDocumentStaysReadable) {
    // The scan identifier comes back from a reply with its entities decoded,
    // and identifiers can come from a damaged database file.
    auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    buffer->scanId = "S&7<x>";
    program_->productGuid = "{A&B}";
    program_->componentGuid = "<C>";
    const auto [failed, text] = Write(*buffer);
    EXPECT_FALSE(failed);
    EXPECT_NE(text.find("<scanid>S&amp;7&lt;x&gt;</scanid>\n"), std::string::npos);
    EXPECT_NE(text.find("<GUID type=\"product\">{A&amp;B}</GUID>\n"), std::string::npos);
    EXPECT_NE(text.find("<GUID type=\"component\">&lt;C&gt;</GUID>\n"), std::string::npos);
}

TEST_F(CheckDocumentTest, WithoutListsTheCheckRequestHasNoItemBlock) {
    auto buffer = MakeBuffer(nullptr, nullptr, vnxml::kCheckRequest);
    bool progressed = false;
    buffer->progress = [&](int, int) { progressed = true; };
    const auto [failed, text] = Write(*buffer);
    EXPECT_FALSE(failed);
    EXPECT_FALSE(progressed);
    EXPECT_EQ(text.find("software.scanned"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 29), "</clientsettings>\n</meridox>\n");
}

TEST_F(CheckDocumentTest, StopDuringTheItemLoopEndsTheDocumentAndReportsFailure) {
    // The stop arrives while the first item is being written (its file is
    // being digested); the next item is never written.
    env_.services().onFileDigest = [this] { watch_.SetStop(); };
    auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    const auto [failed, text] = Write(*buffer);
    EXPECT_TRUE(failed);
    EXPECT_NE(text.find("<Sequence>11</Sequence>"), std::string::npos);
    EXPECT_EQ(text.find("<Sequence>12</Sequence>"), std::string::npos);
    EXPECT_EQ(text.find("</meridox>"), std::string::npos);
    // The digest was handed the list's stop, which it asks between blocks of
    // a large file: here it already answers that the stop was requested.
    ASSERT_EQ(env_.services().digestStops.size(), 1u);
    EXPECT_EQ(env_.services().digestStops[0], std::optional<bool>(true));

    // Stopped before the loop starts: no item at all.
    env_.services().onFileDigest = nullptr;
    auto again = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    const auto [stillFailed, shorter] = Write(*again);
    EXPECT_TRUE(stillFailed);
    EXPECT_NE(shorter.find("<software.scanned revision=\"0\">\n"), std::string::npos);
    EXPECT_EQ(shorter.find("<item>"), std::string::npos);
}

TEST_F(CheckDocumentTest, AnEmptyListSlotEndsThatListsWalkOnly) {
    watch_.AddTail(nullptr);
    auto late = std::make_unique<VN_WatchItem>();
    late->sequence = 18;
    late->progName = "After the empty slot";
    watch_.AddTail(std::move(late));
    auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
    const auto [failed, text] = Write(*buffer);
    EXPECT_FALSE(failed);
    EXPECT_EQ(text.find("After the empty slot"), std::string::npos);
    EXPECT_NE(text.find("<Sequence>21</Sequence>"), std::string::npos);  // the drivers still follow
}

// A sink that accepts a given number of bytes and then fails, as a full disk does.
class FullDisk : public vnxml::CXMLSink {
public:
    explicit FullDisk(size_t room) : room_(room) {}
    bool Write(std::string_view text) override {
        if (text.size() > room_) return false;
        room_ -= text.size();
        written += text;
        return true;
    }
    std::string written;

private:
    size_t room_;
};

TEST_F(CheckDocumentTest, AFailedWriteEndsTheDocumentAndReportsFailure) {
    program_->serverNeedsIcon = false;  // every document the same length
    const size_t full = Write(*MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest)).second.size();
    ASSERT_GT(full, 3000u);
    for (const size_t room : {size_t{10}, full / 4, full / 2, full - 1}) {
        auto buffer = MakeBuffer(&watch_, &drivers_, vnxml::kCheckRequest);
        FullDisk disk(room);
        EXPECT_TRUE(buffer->WriteDocument(disk)) << room;
        EXPECT_LE(disk.written.size(), room);
        EXPECT_EQ(disk.written.find("</meridox>"), std::string::npos);
    }
}

TEST_F(CheckDocumentTest, UnnumberedItemsAreNumberedInDocumentOrderAndKeepTheirNumbers) {
    VN_ListBase list;
    std::vector<VN_WatchItem*> items;
    for (int i = 0; i < 3; ++i) {
        auto item = std::make_unique<VN_WatchItem>();
        item->progName = "Item " + std::to_string(i);
        items.push_back(item.get());
        list.AddTail(std::move(item));
    }
    auto buffer = MakeBuffer(&list, nullptr, vnxml::kCheckRequest);
    const std::string first = Write(*buffer).second;
    ASSERT_GT(items[0]->sequence, 0);
    EXPECT_EQ(items[1]->sequence, items[0]->sequence + 1);
    EXPECT_EQ(items[2]->sequence, items[0]->sequence + 2);
    EXPECT_NE(first.find("\t<Sequence>" + std::to_string(items[2]->sequence) + "</Sequence>\n\t<ProgName>Item 2<"),
              std::string::npos);
    auto again = MakeBuffer(&list, nullptr, vnxml::kCheckRequest);
    EXPECT_EQ(Write(*again).second, first);
}

TEST_F(CheckDocumentTest, IntervalIsReportedInWholeMinutes) {
    platform::Settings& settings = platform::AppSettings();
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "0"}, {2, "1440"}, {3, "10080"}, {4, "43800"}, {9, "0"},
    };
    for (const auto& [index, minutes] : cases) {
        settings.WriteNumber(setting::kCheckForUpdates, index);
        auto buffer = MakeBuffer(nullptr, nullptr, vnxml::kPreScanRequest);
        EXPECT_NE(Write(*buffer).second.find(std::string("<CheckForUpdatesInterval>") + minutes + "<"),
                  std::string::npos)
            << index;
    }
    // The custom interval is in seconds; part of a minute is dropped.
    settings.WriteNumber(setting::kCheckForUpdates, 5);
    settings.WriteNumber(setting::kCustomInterval, 7259);
    auto buffer = MakeBuffer(nullptr, nullptr, vnxml::kPreScanRequest);
    EXPECT_NE(Write(*buffer).second.find("<CheckForUpdatesInterval>120<"), std::string::npos);
}

TEST(ItemTextEscape, KeepsAsciiTextAndLineBreaksDropsControlAndHighBytes) {
    EXPECT_EQ(vnxml::EscapeItemText("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d\"e'f");
    EXPECT_EQ(vnxml::EscapeItemText("x\ty\nz\r!"), "x\ty\nz\r!");
    EXPECT_EQ(vnxml::EscapeItemText(std::string("\x01\x1F\x7F\x80\xE9\xFF", 6)), "\x7F");
    EXPECT_EQ(vnxml::EscapeItemText(std::string("a\0b", 3)), "ab");
}

// The escaping tests eight bytes at a time: every byte value, at each place
// of a word and of the tail, is kept, replaced or left out as alone.
TEST(ItemTextEscape, EveryByteAtEveryPlaceOfAWord) {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        std::string expected;
        if (c == '&') expected = "&amp;";
        else if (c == '<') expected = "&lt;";
        else if (c == '>') expected = "&gt;";
        else if (c == '\t' || c == '\n' || c == '\r' || (byte >= 32 && byte < 128)) expected = std::string(1, c);
        for (size_t at = 0; at < 19; ++at) {
            std::string text(19, 'x');
            text[at] = c;
            ASSERT_EQ(vnxml::EscapeItemText(text), std::string(at, 'x') + expected + std::string(18 - at, 'x'))
                << byte << " at " << at;
        }
    }
}

TEST_F(ScanDocumentTest, LongSignatureIsCutTo255CharactersWithoutSplittingAnEntity) {
    VN_WatchItem item;
    item.sequence = 5;
    item.signature = std::string(300, 'S');
    std::string xml = vnxml::ItemXml(item);
    EXPECT_NE(xml.find("\t<Signature>" + std::string(255, 'S') + "</Signature>\n"), std::string::npos);

    // "&" escapes to five characters; at 250 + 5 it still fits exactly.
    item.signature = std::string(250, 'A') + "&" + "tail";
    xml = vnxml::ItemXml(item);
    EXPECT_NE(xml.find("\t<Signature>" + std::string(250, 'A') + "&amp;</Signature>\n"), std::string::npos);

    // At 252 + 5 the entity would be cut; it is left out rather than broken.
    item.signature = std::string(252, 'A') + "&" + "tail";
    xml = vnxml::ItemXml(item);
    EXPECT_NE(xml.find("\t<Signature>" + std::string(252, 'A') + "</Signature>\n"), std::string::npos);
}

}  // namespace
