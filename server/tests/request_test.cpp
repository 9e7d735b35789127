#include <gtest/gtest.h>

#include "platform/files.h"
#include "scan_request.h"

using namespace vnservice;

namespace {

std::string Data(const std::string& name) {
    auto text = platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/server/tests/data/" + name);
    EXPECT_TRUE(text) << name;
    return text.value_or("");
}

std::string Wrap(const std::string& body) {
    return "<?xml version=\"1.0\"?>\r\n<meridox revision=\"0\" clientPlatform=\"windows\" clientVersion=\"1.3.1.55\">\r\n" +
           body + "</meridox>\r\n";
}

}  // namespace

TEST(ScanRequest, ReadsThePreScanAsTheAgentWritesIt) {
    const ParsedRequest parsed = ParseScanRequest(Data("prescan.xml"));
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const ScanRequest& r = parsed.request;
    EXPECT_FALSE(r.isCheck);
    EXPECT_EQ(r.clientVersion, "1.3.1.55");
    EXPECT_EQ(r.clientPlatform, "windows");
    EXPECT_EQ(r.scanId, "");
    EXPECT_EQ(r.timestamp, "2024-06-28T10:15:02+0200");
    EXPECT_EQ(r.machineName, "DESKTOP-7Q2LK");
    EXPECT_EQ(r.machineId, "");
    EXPECT_EQ(r.exclusionListDate, "2001-01-01");
    EXPECT_EQ(r.profile.at("operatingSystem/name"), "Windows 10 Pro");
    EXPECT_EQ(r.profile.at("clientinfo/matchdata"), "5d41402abc4b2a76b9719d911017c592");
    EXPECT_EQ(r.profile.at("display/resolution"), "1920x1080");
    // ScanStartMenu and CheckForUpdatesInterval share a line.
    EXPECT_EQ(r.clientSettings.at("ScanStartMenu"), "true");
    EXPECT_EQ(r.clientSettings.at("CheckForUpdatesInterval"), "240");
    EXPECT_TRUE(r.items.empty());
}

TEST(ScanRequest, ReadsEveryKindOfItemOfACheck) {
    const ParsedRequest parsed = ParseScanRequest(Data("check.xml"));
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const ScanRequest& r = parsed.request;
    EXPECT_TRUE(r.isCheck);
    EXPECT_EQ(r.scanId, "@SCANID@");
    EXPECT_EQ(r.machineId, "@MACHINEID@");
    ASSERT_EQ(r.items.size(), 7u);

    const RequestItem& firefox = r.items[0];
    EXPECT_EQ(firefox.Sequence(), "1");
    EXPECT_EQ(firefox.Field("Md5Id[exe]"), "0f343b0931126a20f133d67c2b018a3b");
    EXPECT_EQ(firefox.Field("Md5Id"), "9a0364b9e99bb480dd25e1f0284c8555");
    EXPECT_EQ(firefox.Field("ProcessIdentity/BaseName"), "firefox.exe");
    EXPECT_EQ(firefox.Field("ProcessIdentity/Version[FileVersion_FIXEDFILEINFO]"), "115.0.2.8538");
    EXPECT_EQ(firefox.Field("ProgName"), "Mozilla Firefox (x64 en-US)");
    EXPECT_EQ(firefox.Field("TargetName"), "C:\\Program Files\\Mozilla Firefox\\firefox.exe");
    EXPECT_FALSE(firefox.IsDriver());

    const RequestItem& suite = r.items[1];
    EXPECT_EQ(suite.Field("GUID[product]"), "{23170f69-40c1-2702-2301-000001000000}");
    EXPECT_EQ(suite.Field("SuiteIdentity/InstalledProductName"), "7-Zip 23.01 (x64 edition)");
    EXPECT_TRUE(suite.Has("ProgName"));
    EXPECT_EQ(suite.Field("ProgName"), "");

    // Entities are resolved once: the agent's "&amp;" is the text's "&".
    EXPECT_EQ(r.items[3].Field("ProgName"), "Contoso Widget & Tools <Beta>");

    const RequestItem& vlc = r.items[4];
    ASSERT_EQ(vlc.icons.size(), 2u);
    EXPECT_FALSE(vlc.icons[0].generic);
    EXPECT_EQ(vlc.icons[0].productId, "109");
    EXPECT_EQ(vlc.icons[0].width, "32");
    EXPECT_EQ(vlc.icons[1].height, "16");
    EXPECT_EQ(vlc.icons[0].format, "PNG");
    EXPECT_EQ(vlc.icons[0].encoding, "Base64");
    EXPECT_EQ(vlc.icons[0].data.substr(0, 8), "iVBORw0K");  // "\x89PNG\r\n" in Base64
    EXPECT_FALSE(vlc.Has("icon"));

    EXPECT_EQ(r.items[5].Field("ID[fingerPrint]"), "fp-133");

    const RequestItem& driver = r.items[6];
    EXPECT_TRUE(driver.IsDriver());
    EXPECT_EQ(driver.Field("HwId[0]"), "PCI\\VEN_8086&DEV_0D4C&SUBSYS_09E01028");
    EXPECT_EQ(driver.Field("HwId[2000]"), "PCI\\VEN_8086&DEV_0D4C");
}

TEST(ScanRequest, GenericIconAndEmptyCheck) {
    const ParsedRequest parsed = ParseScanRequest(Wrap(
        "<software.scanned revision=\"0\">\r\n<item>\r\n\t<Sequence>9</Sequence>\r\n"
        "<icon generic=\"true\"></icon>\r\n</item>\r\n</software.scanned>\r\n"));
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.request.items.size(), 1u);
    ASSERT_EQ(parsed.request.items[0].icons.size(), 1u);
    EXPECT_TRUE(parsed.request.items[0].icons[0].generic);

    // A check with no items is still a check.
    const ParsedRequest empty = ParseScanRequest(Wrap("<software.scanned revision=\"0\">\r\n</software.scanned>\r\n"));
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(empty.request.isCheck);
}

TEST(ScanRequest, ReadsAnsiBytesAsWindows1252AndKeepsUtf8) {
    // The machine name of a Western computer: "CAFÉ-PC" with É as the single byte 0xC9.
    const ParsedRequest ansi = ParseScanRequest(
        Wrap("<authentication>\r\n <machinename>CAF\xC9-PC</machinename>\r\n <machineid/>\r\n</authentication>"));
    ASSERT_TRUE(ansi.ok) << ansi.error;
    EXPECT_EQ(ansi.request.machineName, "CAF\xC3\x89-PC");

    // UTF-8 (written by the agent for double-byte code pages) stays as it is,
    // even under a declaration that names another encoding.
    const std::string utf8 =
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?><meridox><authentication><machinename>\xE6\x9D\xB1"
        "</machinename></authentication></meridox>";
    const ParsedRequest kept = ParseScanRequest(utf8);
    ASSERT_TRUE(kept.ok) << kept.error;
    EXPECT_EQ(kept.request.machineName, "\xE6\x9D\xB1");

    // A long document is converted piece by piece; texts across the pieces'
    // borders come out whole.
    std::string many = "<software.scanned>";
    for (int i = 0; i < 3000; ++i) many += "<item><ProgName>Caf\xE9 " + std::to_string(i) + " \xE9\xE9\xE9</ProgName></item>";
    many += "</software.scanned>";
    const ParsedRequest big = ParseScanRequest(Wrap(many));
    ASSERT_TRUE(big.ok) << big.error;
    ASSERT_EQ(big.request.items.size(), 3000u);
    for (size_t i = 0; i < big.request.items.size(); ++i)
        ASSERT_EQ(big.request.items[i].Field("ProgName"), "Caf\xC3\xA9 " + std::to_string(i) + " \xC3\xA9\xC3\xA9\xC3\xA9");
}

TEST(ScanRequest, RefusesWhatIsNotAScanDocument) {
    const struct {
        std::string document;
        std::string error;
    } cases[] = {
        {"", "malformed XML"},
        {"<meridox><item>", "malformed XML"},
        {"<?xml version=\"1.0\"?><status><code>0</code></status>", "root element is <status>"},
        // Entity expansion is never reached: the declaration itself is refused.
        {"<?xml version=\"1.0\"?><!DOCTYPE meridox [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
         "<meridox><scanid>&b;</scanid></meridox>",
         "document type declarations are not accepted"},
    };
    for (const auto& c : cases) {
        const ParsedRequest parsed = ParseScanRequest(c.document);
        EXPECT_FALSE(parsed.ok) << c.document;
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
        EXPECT_TRUE(parsed.request.items.empty());
    }
}

TEST(ScanRequest, BoundsWhatItKeeps) {
    ParseLimits limits;
    limits.maxItems = 3;
    limits.maxTextBytes = 100;
    limits.maxDepth = 8;
    std::string items = "<software.scanned>";
    for (int i = 1; i <= 4; ++i) items += "<item><Sequence>" + std::to_string(i) + "</Sequence></item>";
    items += "</software.scanned>";
    ParsedRequest parsed = ParseScanRequest(Wrap(items), limits);
    EXPECT_FALSE(parsed.ok);
    EXPECT_TRUE(parsed.tooLarge);
    EXPECT_EQ(parsed.error, "too many items");

    // Elements are counted over the whole document as well as per item.
    limits.maxFieldsPerDocument = 5;
    items = "<software.scanned>";
    for (int i = 1; i <= 3; ++i) items += "<item><Sequence>1</Sequence><A/></item>";
    items += "</software.scanned>";
    parsed = ParseScanRequest(Wrap(items), limits);
    EXPECT_TRUE(parsed.tooLarge);
    EXPECT_EQ(parsed.error, "too many elements in the document");
    limits.maxFieldsPerDocument = 6;
    EXPECT_TRUE(ParseScanRequest(Wrap(items), limits).ok);
    EXPECT_FALSE(ParseScanRequest("<meridox>", limits).tooLarge);

    parsed = ParseScanRequest(Wrap("<scanid>" + std::string(101, 'x') + "</scanid>"), limits);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, "text of <scanid> is too long");

    std::string deep;
    for (int i = 0; i < 10; ++i) deep += "<a>";
    for (int i = 0; i < 10; ++i) deep += "</a>";
    parsed = ParseScanRequest(Wrap(deep), limits);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error, "elements nested too deeply");

    // Exactly at the limits is fine.
    items = "<software.scanned>";
    for (int i = 1; i <= 3; ++i) items += "<item><ProgName>" + std::string(100, 'n') + "</ProgName></item>";
    items += "</software.scanned>";
    parsed = ParseScanRequest(Wrap(items), limits);
    EXPECT_TRUE(parsed.ok) << parsed.error;
}

TEST(ScanRequest, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));          // a Windows-1252 byte
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // truncated
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}
