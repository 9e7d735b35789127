// One suite for the service's files on both platforms: the configuration
// parser over the platform's SAX reader (expat on the host, MSXML under Wine)
// and the writing of a new exclusion list from a reply (the host's writer,
// MSXML's DOM under Wine), read back by the same parser. Linked into the
// host and the Windows tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/config_parser.h"
#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace configsuite {

// A scratch folder whose name holds a blank, removed afterwards.
class Folder : public testing_support::TempFolder {
public:
    Folder() : TempFolder("varnel config") {}
    using TempFolder::Path;
    std::string Path() const { return str(); }
    std::string Read(const std::string& name) const {
        std::ifstream in(path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Has(const std::string& name) const { return std::filesystem::exists(path() / name); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

class ConfigFiles : public ::testing::Test {
protected:
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    void SetUp() override {
        vnlog::SetDebugSink([this](std::string_view text) { debug_ += std::string(text); });
    }
    void TearDown() override { vnlog::SetDebugSink(nullptr); }
    std::string Setting(const char* name) { return platform::AppSettings().ReadText(name); }
    bool HasSetting(const char* name) {
        return platform::AppSettings().store().GetText(platform::ISettingsStore::Hive::User, name, 520, false)
            .has_value();
    }

    Folder folder_;
    std::string debug_;
};

// A reply of the update service as the program holds it: text in the ANSI
// code page (the e acute is one byte, in a value and in a name), whatever its
// declaration says.
const char kReply[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<meridox>\n"
    "  <status>\n"
    "    <code>0</code>\n"
    "    <scanid>88123</scanid>\n"
    "    <exclusion revDate=\"2024-06-02\">\n"
    "      <item product=\"Java Auto Updater\" r\xE9" "f=\"12\"/>\n"
    "      <item name=\"Microsoft Visual Studio 20*\" dir=\"C:\\Program Files\\Common Files\"/>\n"
    "      <item name=\"Caf\xE9 &amp; Bar Tools\"/>\n"
    "    </exclusion>\n"
    "  </status>\n"
    "  <update serverNeedsIcon=\"false\"><Sequence>1</Sequence><ProgName>7-Zip</ProgName></update>\n"
    "</meridox>\n";

TEST_F(ConfigFiles, ExclusionItemsBecomeExactNamesAndPatterns) {
    const std::string path = folder_.Write(
        "exclusions.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<exclusion revDate=\"2024-05-01\">\n"
        "  <item product=\"Microsoft .NET Framework 4.8\" dir=\"C:\\Windows\\Microsoft.NET\"/>\n"
        "  <item name=\"Security Update for*\">text is ignored</item>\n"
        "  <ITEM Name=\"Hotfix for Windows\" PRODUCT=\"^Update*\"/>\n"
        "  <item other=\"not an entry\"/>\n"
        "  <group><item name=\"Caf\xC3\xA9 Tools\"/></group>\n"
        "</exclusion>\n");
    VN_ExclusionStore store;
    EXPECT_EQ(inventory::ParseConfigFile(path, store), platform::SaxResult::Complete);
    EXPECT_EQ(store.GetDate(), "2024-05-01");
    EXPECT_EQ(store.ExactCount(), 4u);
    EXPECT_TRUE(store.HasExact("Microsoft .NET Framework 4.8"));
    EXPECT_TRUE(store.HasExact("C:\\Windows\\Microsoft.NET"));
    EXPECT_TRUE(store.HasExact("Hotfix for Windows"));
    EXPECT_TRUE(store.HasExact("Caf\xE9 Tools"));
    EXPECT_EQ(store.Patterns(), (std::vector<std::string>{"Security Update for*", "^Update*"}));
    EXPECT_TRUE(store.IsInExclusions("Security Update for Microsoft Office 2016 (KB5002251)"));
    EXPECT_TRUE(store.IsInExclusions("Updater"));
    EXPECT_FALSE(store.IsInExclusions("Windows Updater"));
}

TEST_F(ConfigFiles, EachLinkCarriesOneAddress) {
    const std::string path = folder_.Write(
        "config.xml",
        "<?xml version=\"1.0\"?>\n"
        "<configuration>\n"
        "  <link ipapiLink=\"https://ip.example.com/a\"/>\n"
        "  <link clientLink=\"https://scan.example.com/check\" ipapiLink=\"https://ip.example.com/b\"/>\n"
        "  <LINK MoreInfoServer=\"https://info.example.com\"/>\n"
        "  <link/>\n"
        "  <server clientLink=\"https://not-a-link.example.com\"/>\n"
        "</configuration>\n");
    VN_ExclusionStore store;
    EXPECT_EQ(inventory::ParseConfigFile(path, store), platform::SaxResult::Complete);
    EXPECT_EQ(Setting(setting::kClientLinkUrl), "https://scan.example.com/check");
    EXPECT_EQ(Setting(setting::kIpapiLinkUrl), "https://ip.example.com/a");
    EXPECT_EQ(Setting(setting::kMoreInfoServer), "https://info.example.com");
    EXPECT_EQ(store.ExactCount(), 0u);
}

TEST_F(ConfigFiles, AnEmptyAddressLeavesTheBuiltInOne) {
    const std::string path =
        folder_.Write("config.xml", "<configuration><link clientLink=\"\" ipapiLink=\"https://ip\"/></configuration>");
    VN_ExclusionStore store;
    inventory::ParseConfigFile(path, store);
    EXPECT_FALSE(HasSetting(setting::kClientLinkUrl));
    EXPECT_FALSE(HasSetting(setting::kIpapiLinkUrl)) << "the first address present decides, even when empty";
    EXPECT_EQ(platform::AppSettings().ReadText(setting::kClientLinkUrl, setting::kClientLinkUrlDefaultId), "EMPTY");
}

TEST_F(ConfigFiles, ADamagedFileKeepsWhatCameBeforeTheDamage) {
    const std::string path = folder_.Write(
        "exclusions.xml", "<exclusion revDate=\"r1\"><item name=\"First\"/><item name=\"Second\"/><item name=");
    VN_ExclusionStore store;
    EXPECT_EQ(inventory::ParseConfigFile(path, store), platform::SaxResult::Malformed);
    EXPECT_TRUE(store.HasExact("First"));
    EXPECT_TRUE(store.HasExact("Second"));
    EXPECT_EQ(store.GetDate(), "r1");

    VN_ExclusionStore none;
    EXPECT_EQ(inventory::ParseConfigFile(folder_.Path() + "\\missing.xml", none), platform::SaxResult::Unreadable);
    EXPECT_EQ(none.ExactCount(), 0u);
}

TEST_F(ConfigFiles, ANewExclusionListFromAReplyIsSavedAndReadBack) {
    Folder program;
    VN_WatchList list;
    list.SetServiceFileFolders(folder_.Path(), program.Path() + "\\");
    const std::string target = folder_.Path() + "\\exclusions.xml";
    ASSERT_EQ(list.SaveExclusionList(kReply, target), 0) << debug_;
    EXPECT_NE(debug_.find("Successfully saved new exclution list to: " + target), std::string::npos) << debug_;
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"exclusions.xml"}) << "no temporary file is left";

    list.LoadExclusions();
    EXPECT_EQ(list.GetExclusionDate(), "2024-06-02");
    EXPECT_TRUE(list.IsInExclusions("Java Auto Updater"));
    EXPECT_TRUE(list.IsInExclusions("C:\\Program Files\\Common Files"));
    EXPECT_TRUE(list.IsInExclusions("Caf\xE9 & Bar Tools"));
    EXPECT_TRUE(list.IsInExclusions("Microsoft Visual Studio 2022"));
    EXPECT_FALSE(list.IsInExclusions("7-Zip")) << "only the exclusion element is kept";
    const std::string saved = folder_.Read("exclusions.xml");
    EXPECT_EQ(saved.find("meridox"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("<?xml"), 0u) << saved;
}

TEST_F(ConfigFiles, AFailedSaveLeavesTheOldListInPlace) {
    const std::string old = "<exclusion revDate=\"2020-01-01\"><item name=\"Old\"/></exclusion>";
    const std::string target = folder_.Write("exclusions.xml", old);
    VN_WatchList list;

    EXPECT_EQ(list.SaveExclusionList("<meridox><status><exclusion revDate=\"x\">", target), 1);
    EXPECT_NE(debug_.find("Error loading XML input from CA. Error code = 0x"), std::string::npos) << debug_;
    EXPECT_EQ(folder_.Read("exclusions.xml"), old);

    // A reply with a document type could fill the list from a local file.
    debug_.clear();
    Folder elsewhere;
    const std::string secret = elsewhere.Write("secret.txt", "machine secret");
    EXPECT_EQ(list.SaveExclusionList("<!DOCTYPE meridox [<!ENTITY s SYSTEM \"file:///" + secret +
                                         "\">]><meridox><status><exclusion revDate=\"&s;\"/></status></meridox>",
                                     target),
              1);
    EXPECT_NE(debug_.find("Error loading XML input from CA. Error code = 0x"), std::string::npos) << debug_;
    EXPECT_EQ(folder_.Read("exclusions.xml"), old);

    debug_.clear();
    EXPECT_EQ(list.SaveExclusionList("<meridox><status><code>0</code></status></meridox>", target), 1);
    EXPECT_NE(debug_.find("Error retrieving exclusion node from xml. Error code = 0x"), std::string::npos) << debug_;
    EXPECT_EQ(folder_.Read("exclusions.xml"), old);

    debug_.clear();
    const std::string nowhere = folder_.Path() + "\\no such folder\\exclusions.xml";
    EXPECT_EQ(list.SaveExclusionList(kReply, nowhere), 1);
    EXPECT_NE(debug_.find("Error save new exclusion list. Error code = 0x"), std::string::npos) << debug_;
    EXPECT_NE(debug_.find("Output file name: " + nowhere), std::string::npos) << debug_;
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"exclusions.xml"});
}

TEST_F(ConfigFiles, TheDataFolderCopyComesFirstThenTheProgramFolders) {
    Folder program;
    program.Write("exclusions.xml", "<exclusion revDate=\"program\"><item name=\"From program\"/></exclusion>");
    program.Write("config.xml", "<configuration><link moreInfoServer=\"https://program\"/></configuration>");
    platform::AppSettings().WriteText(setting::kIpapiLinkUrl, "https://stale");
    VN_WatchList list;
    list.SetServiceFileFolders(folder_.Path(), program.Path() + "\\");

    list.LoadConfig();
    list.LoadExclusions();
    EXPECT_EQ(list.GetExclusionDate(), "program");
    EXPECT_TRUE(list.IsInExclusions("From program"));
    EXPECT_EQ(Setting(setting::kMoreInfoServer), "https://program");
    EXPECT_FALSE(HasSetting(setting::kIpapiLinkUrl)) << "addresses not in the file are deleted";

    folder_.Write("exclusions.xml", "<exclusion revDate=\"data\"><item name=\"From data\"/></exclusion>");
    list.LoadExclusions();
    EXPECT_EQ(list.GetExclusionDate(), "data");
    EXPECT_TRUE(list.IsInExclusions("From data"));
    EXPECT_FALSE(list.IsInExclusions("From program")) << "a reload replaces the whole list";

    // Without either file the list is empty and every address is the built-in one.
    Folder empty;
    list.SetServiceFileFolders(empty.Path(), empty.Path() + "\\");
    list.LoadConfig();
    list.LoadExclusions();
    EXPECT_EQ(list.GetExclusionDate(), "");
    EXPECT_FALSE(list.IsInExclusions("From data"));
    EXPECT_FALSE(HasSetting(setting::kMoreInfoServer));
}

}  // namespace configsuite
