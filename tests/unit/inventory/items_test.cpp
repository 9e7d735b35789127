// Item rules: identity, copying and merging, display names, tracking, name
// order, sequence numbers and the questions items put to the installer and the
// icon painter.
#include <gtest/gtest.h>

#include <map>

#include "common/scoped_hook.h"
#include "inventory/archive.h"
#include "inventory/item_services.h"
#include "inventory/ob_list.h"
#include "inventory_test_support.h"
#include "platform/text.h"

using testsupport::StoredFields;

namespace {

const char kOfficeSuite[] = "{90120000-0030-0000-0000-0000000FF1CE}";
const char kWordComponent[] = "{0638C49D-BB8B-4CD1-B191-054E8F325736}";
const char kExcelComponent[] = "{5572D282-F5E5-11D3-A8B6-00B0D0ECF2EE}";

class FakeInstaller : public inventory::IInstallerQuery {
public:
    explicit FakeInstaller(std::map<std::pair<std::string, std::string>, std::string> answers)
        : answers_(std::move(answers)) {}
    std::optional<std::string> ProductInfo(const std::string& code, const std::string& property) override {
        ++queries;
        const auto it = answers_.find({code, property});
        if (it == answers_.end()) return std::nullopt;
        return it->second;
    }
    int queries = 0;

private:
    std::map<std::pair<std::string, std::string>, std::string> answers_;
};

class ItemsWithInstaller : public ::testing::Test {
protected:
    void SetUp() override {
        auto fake = std::make_unique<FakeInstaller>(std::map<std::pair<std::string, std::string>, std::string>{
            {{kOfficeSuite, "InstalledProductName"}, "  Microsoft Office Enterprise 2007 \t"},
            {{kOfficeSuite, "VersionString"}, "12.0.6612.1000"},
        });
        installer_ = fake.get();
        installerQuery_.Replace(std::move(fake));
    }
    testing_support::ScopedHook<inventory::InstallInstallerQuery> installerQuery_{nullptr};
    FakeInstaller* installer_ = nullptr;
};

std::unique_ptr<VN_WatchItem> Suite(const std::string& guid) {
    auto w = std::make_unique<VN_WatchItem>();
    w->SetProductGuid(guid);
    return w;
}

std::unique_ptr<VN_WatchItem> Component(const std::string& product, const std::string& component) {
    auto w = std::make_unique<VN_WatchItem>();
    w->productGuid = product;
    w->componentGuid = component;
    return w;
}

std::unique_ptr<VN_WatchItem> ExeItem(const std::string& exe, const std::string& name, const std::string& version,
                                      const std::string& path) {
    auto w = std::make_unique<VN_WatchItem>();
    w->executableName = exe;
    w->progName = name;
    w->installedVers = version;
    w->targetName = path;
    w->source = watch_source::kExe;
    return w;
}

}  // namespace

TEST(ItemIdentity, GuidRulesSeparateSuitesFromComponents) {
    auto suiteHolder = Suite(kOfficeSuite);
    const VN_WatchItem& suite = *suiteHolder;
    auto wordHolder = Component(kOfficeSuite, kWordComponent);
    const VN_WatchItem& word = *wordHolder;
    auto excelHolder = Component(kOfficeSuite, kExcelComponent);
    const VN_WatchItem& excel = *excelHolder;
    EXPECT_TRUE(suite.IsSameGuid(*Suite(textutil::ToLowerAscii(kOfficeSuite))));
    EXPECT_FALSE(suite.IsSameGuid(word));
    EXPECT_FALSE(word.IsSameGuid(suite));
    EXPECT_TRUE(word.IsSameGuid(*Component(kOfficeSuite, textutil::ToLowerAscii(kWordComponent))));
    EXPECT_FALSE(word.IsSameGuid(excel));
    EXPECT_FALSE(VN_WatchItem().IsSameGuid(VN_WatchItem()));

    EXPECT_TRUE(word.IsSameGroup(excel));
    EXPECT_FALSE(word.IsSameGroup(suite));
    EXPECT_FALSE(Component("", kWordComponent)->IsSameGroup(*Component("", kWordComponent)));
}

TEST(ItemIdentity, SameItemRulesInOrderAndAsymmetric) {
    const std::string path = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";
    // Rule 1 needs all three of this item's fields.
    EXPECT_TRUE(ExeItem("firefox.exe", "Mozilla Firefox", "115.0", "")
                    ->IsSameItem(*ExeItem("FIREFOX.EXE", "mozilla firefox", "115.0", "")));
    EXPECT_FALSE(ExeItem("firefox.exe", "Mozilla Firefox", "115.0", "")
                     ->IsSameItem(*ExeItem("firefox.exe", "Mozilla Firefox", "116.0", "")));
    EXPECT_FALSE(ExeItem("firefox.exe", "Mozilla Firefox", "", "")
                     ->IsSameItem(*ExeItem("firefox.exe", "Mozilla Firefox", "", "")));
    // Rule 2: same full path, whatever the versions.
    EXPECT_TRUE(ExeItem("firefox.exe", "Mozilla Firefox", "115.0", path)
                    ->IsSameItem(*ExeItem("firefox.exe", "Mozilla Firefox", "116.0", textutil::ToLowerAscii(path))));
    // Rule 3: installer codes.
    EXPECT_TRUE(Component(kOfficeSuite, kWordComponent)->IsSameItem(*Component(kOfficeSuite, kWordComponent)));

    // Rule 4: an uninstall entry with the same signature (exact case).
    VN_WatchItem entry;
    entry.uninstallString = "\"C:\\Program Files\\7-Zip\\Uninstall.exe\"";
    entry.signature = "7-Zip 23.01 (x64)|Igor Pavlov|23|1||\"27648\"";
    VN_WatchItem scanned;
    scanned.signature = entry.signature;
    EXPECT_TRUE(entry.IsSameItem(scanned));
    EXPECT_FALSE(scanned.IsSameItem(entry));  // this item has no uninstall command
    scanned.signature = textutil::ToLowerAscii(entry.signature);
    EXPECT_FALSE(entry.IsSameItem(scanned));

    // Rule 5: the other item is the suite whose code is this entry's key.
    VN_WatchItem keyed;
    keyed.keyName = textutil::ToLowerAscii(kOfficeSuite);
    EXPECT_TRUE(keyed.IsSameItem(*Suite(kOfficeSuite)));
    EXPECT_FALSE(Suite(kOfficeSuite)->IsSameItem(keyed));
    EXPECT_FALSE(keyed.IsSameItem(*Component(kOfficeSuite, kWordComponent)));
}

TEST(ItemIdentity, SameDriverIgnoresCaseAndUsesInstalledVersion) {
    auto a = testsupport::FullDriverItem();
    auto b = testsupport::FullDriverItem();
    b->deviceClass = "NET";
    b->myVersion.clear();  // falls back to driverVersion, which is the same
    EXPECT_TRUE(a->IsSameDriver(*b));
    b->driverDate = "11-18-2019";
    EXPECT_FALSE(a->IsSameDriver(*b));
}

TEST(ItemCopy, CopyFromTakesStoredAndRunFieldsButNotStampOrNameCache) {
    auto source = testsupport::FullWatchItem();
    source->serverId = "srv-1";
    source->sequence = 42;
    source->arguments = "-nosplash";
    source->listIndex = 7;
    source->scanStamp = 5;
    VN_WatchItem copy;
    copy.scanStamp = 9;
    copy.msiProductName = "stale";
    copy.CopyFrom(*source);
    EXPECT_EQ(StoredFields(copy), StoredFields(*source));
    EXPECT_EQ(copy.serverId, "srv-1");
    EXPECT_EQ(copy.sequence, 42);
    EXPECT_EQ(copy.arguments, "-nosplash");
    EXPECT_EQ(copy.listIndex, 7);
    EXPECT_EQ(copy.scanStamp, 9);
    EXPECT_EQ(copy.msiProductName, "");  // belonged to another product

    auto driver = testsupport::FullDriverItem();
    driver->driverFlag = false;
    VN_DriverItem driverCopy;
    driverCopy.CopyFrom(*driver);
    EXPECT_EQ(StoredFields(driverCopy), StoredFields(*driver));
    EXPECT_FALSE(driverCopy.driverFlag);
}

TEST(ItemCopy, MergeFillsOnlyWhatIsMissingButSourceAlwaysWins) {
    VN_WatchItem entry;  // found earlier through the registry
    entry.progName = "7-Zip 23.01 (x64)";
    entry.uninstallString = "\"C:\\Program Files\\7-Zip\\Uninstall.exe\"";
    entry.installedVers = "23.01";
    entry.removed = 1;
    entry.skipped = true;
    entry.reportReason = 3;
    auto scanHolder = ExeItem("7zFM.exe", "7-Zip File Manager", "23.01.00.0", "C:\\Program Files\\7-Zip\\7zFM.exe");
    VN_WatchItem& scan = *scanHolder;
    scan.removed = 0;
    scan.reportReason = 8;
    scan.packageName = "Igor Pavlov";
    scan.sequence = 12;
    scan.listIndex = 4;
    scan.expanded = true;
    scan.comFromReg = true;
    entry.MergeFrom(scan);
    EXPECT_EQ(entry.progName, "7-Zip 23.01 (x64)");
    EXPECT_EQ(entry.installedVers, "23.01");
    EXPECT_EQ(entry.removed, 1);
    EXPECT_EQ(entry.reportReason, 3);
    EXPECT_TRUE(entry.skipped);
    EXPECT_EQ(entry.targetName, "C:\\Program Files\\7-Zip\\7zFM.exe");
    EXPECT_EQ(entry.executableName, "7zFM.exe");
    EXPECT_EQ(entry.packageName, "Igor Pavlov");
    EXPECT_EQ(entry.sequence, 12);
    EXPECT_EQ(entry.listIndex, 4);
    EXPECT_TRUE(entry.expanded);
    EXPECT_TRUE(entry.comFromReg);
    EXPECT_EQ(entry.source, "exe");

    VN_WatchItem noSource;
    noSource.source.clear();
    entry.MergeFrom(noSource);
    EXPECT_EQ(entry.source, "exe");
}

TEST(ItemCopy, MergeIntoAnEmptyItemFillsEveryStoredFieldButTheState) {
    auto full = testsupport::FullWatchItem();
    VN_WatchItem entry;
    entry.MergeFrom(*full);
    EXPECT_EQ(entry.removed, 0);  // an item's state is never merged
    entry.removed = full->removed;
    EXPECT_EQ(StoredFields(entry), StoredFields(*full));
}

TEST_F(ItemsWithInstaller, DisplayNamesOfSuitesComponentsAndOthers) {
    auto suiteHolder = Suite(kOfficeSuite);
    VN_WatchItem& suite = *suiteHolder;
    EXPECT_EQ(suite.GetDisplayName(false), "Microsoft Office Enterprise 2007");
    EXPECT_EQ(suite.GetDisplayName(true), "Microsoft Office Enterprise 2007");
    const int asked = installer_->queries;
    suite.GetDisplayName(false);
    EXPECT_EQ(installer_->queries, asked);  // cached
    suite.SetProductGuid("{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(suite.GetDisplayName(false), "");  // cache dropped, unknown product

    auto wordHolder = Component(kOfficeSuite, kWordComponent);
    VN_WatchItem& word = *wordHolder;
    word.executableName = "WINWORD.EXE";
    EXPECT_EQ(word.GetDisplayName(true), "        (WINWORD.EXE)");
    word.progName = "Word";
    EXPECT_EQ(word.GetDisplayName(false), "Word");
    word.SetFileDesc("  Microsoft Office Word\r\n");
    EXPECT_EQ(word.GetDisplayName(true), "        Microsoft Office Word");

    VN_WatchItem plain;
    plain.SetProgName("\tNotepad++ ");
    EXPECT_EQ(plain.GetDisplayName(true), "Notepad++");

    VN_DriverItem driver;
    driver.deviceDesc = "High Definition Audio Device";
    EXPECT_EQ(driver.GetDisplayName(false), "High Definition Audio Device");
    driver.driverDesc = "Realtek High Definition Audio";
    EXPECT_EQ(driver.GetDisplayName(false), "Realtek High Definition Audio");
}

TEST_F(ItemsWithInstaller, InstallerPropertiesAndVersions) {
    VN_WatchItem none;
    EXPECT_EQ(none.GetMsiProperty("InstalledProductName"), "");
    EXPECT_EQ(installer_->queries, 0);  // no product code: nothing asked
    auto suiteHolder = Suite(kOfficeSuite);
    VN_WatchItem& suite = *suiteHolder;
    suite.myVersion = "12.0";
    EXPECT_EQ(suite.GetInstalledVersion(), "12.0.6612.1000");
    auto wordHolder = Component(kOfficeSuite, kWordComponent);
    VN_WatchItem& word = *wordHolder;
    word.myVersion = "12.0";
    EXPECT_EQ(word.GetInstalledVersion(), "12.0");

    VN_DriverItem driver;
    driver.driverVersion = "6.0.1.8";
    EXPECT_EQ(driver.GetInstalledVersion(), "6.0.1.8");
    driver.myVersion = "6.0.1.9";
    EXPECT_EQ(driver.GetInstalledVersion(), "6.0.1.9");
}

TEST_F(ItemsWithInstaller, CompareByNamePutsSuitesFirstOnATie) {
    auto suiteHolder = Suite(kOfficeSuite);
    const VN_WatchItem& suite = *suiteHolder;
    auto wordHolder = Component(kOfficeSuite, kWordComponent);
    const VN_WatchItem& word = *wordHolder;
    // An unknown product has an empty name, which sorts first in either direction.
    EXPECT_GT(suite.CompareByName(*Component("{X}", "{Y}"), true), 0);
    EXPECT_LT(Component("{X}", "{Y}")->CompareByName(suite, false), 0);
    // Same product, so the same installer name: the suite decides.
    EXPECT_LT(suite.CompareByName(word, false), 0);
    EXPECT_GT(suite.CompareByName(word, true), 0);
    EXPECT_GT(word.CompareByName(suite, false), 0);
    EXPECT_LT(word.CompareByName(suite, true), 0);
    EXPECT_EQ(word.CompareByName(*Component(kOfficeSuite, kExcelComponent), false), 0);
}

TEST(ItemTracking, TrackedItemsAndSuiteExpanders) {
    VN_WatchItem plain;
    EXPECT_FALSE(plain.IsTracked(false));
    plain.SetCurrentVers("2.0");
    EXPECT_TRUE(plain.groupHasCurrent);
    EXPECT_FALSE(plain.IsTracked(false));  // the group count is still 0
    plain.groupCurrentCount = 1;
    EXPECT_TRUE(plain.IsTracked(false));
    plain.groupCurrentCount = 2;
    EXPECT_FALSE(plain.IsTracked(false));
    plain.expanded = true;
    EXPECT_TRUE(plain.IsTracked(false));

    auto suiteHolder = Suite(kOfficeSuite);
    VN_WatchItem& suite = *suiteHolder;
    EXPECT_TRUE(suite.IsTracked(true));
    EXPECT_FALSE(suite.IsTracked(false));
    suite.groupCurrentCount = 2;
    EXPECT_TRUE(suite.IsTracked(false));
    EXPECT_TRUE(suite.HasTrackedComponents());
    suite.groupCurrentCount = 1;
    EXPECT_TRUE(suite.HasTrackedComponents());
    suite.SetCurrentVers("12.0.6807");
    EXPECT_FALSE(suite.HasTrackedComponents());  // the one current version is the suite's own
    EXPECT_TRUE(suite.IsTracked(false));

    VN_WatchItem added;
    added.userAdded = true;
    EXPECT_TRUE(added.IsTracked(false));
    EXPECT_FALSE(added.IsTracked(true));

    VN_DriverItem driver;  // expanded from construction
    driver.SetCurrentVers("7.1");
    driver.groupCurrentCount = 3;
    EXPECT_TRUE(driver.IsTracked(false));

    VN_WatchItem update;
    update.updateAvailable = true;
    EXPECT_TRUE(update.IsUpdateCandidate());
    update.skipped = true;
    EXPECT_FALSE(update.IsUpdateCandidate());
}

TEST(ItemSequence, NumbersAreGivenOnceFromOneCounter) {
    VN_WatchItem a;
    VN_DriverItem b;
    const int32_t first = a.GetSequence();
    EXPECT_GT(first, 0);
    EXPECT_EQ(a.GetSequence(), first);
    EXPECT_EQ(b.GetSequence(), first + 1);
    VN_WatchItem copy;
    copy.CopyFrom(a);
    EXPECT_EQ(copy.GetSequence(), first);
}

TEST(ItemIcons, ItemsAskThePainterForTheirOwnIcon) {
    struct Painter : inventory::IItemIcons {
        void ShowFileIcon(platform::WindowHandle c, const std::string& path) override {
            calls += "file:" + path, control = c;
        }
        void ShowDeviceClassIcon(platform::WindowHandle c, const std::string& cls) override {
            calls += "class:" + cls, control = c;
        }
        std::string calls;
        platform::WindowHandle control = nullptr;
    };
    auto owned = std::make_unique<Painter>();
    Painter* painter = owned.get();
    const testing_support::ScopedHook<inventory::InstallItemIcons> icons(std::move(owned));
    int fakeControl = 0;
    testsupport::FullWatchItem()->ShowIcon(&fakeControl);
    EXPECT_EQ(painter->calls, "file:C:\\Program Files (x86)\\Microsoft Office\\Office12\\WINWORD.EXE");
    EXPECT_EQ(painter->control, &fakeControl);
    painter->calls.clear();
    testsupport::FullDriverItem()->ShowIcon(&fakeControl);
    EXPECT_EQ(painter->calls, "class:Net");
}

TEST(CatalogueItems, DailyItemDownloadAddressAndDirectness) {
    auto daily = testsupport::FullDailyItem();
    EXPECT_EQ(daily->GetDisplayName(false), "7-Zip");
    EXPECT_EQ(daily->GetProductId(), "77120");
    EXPECT_EQ(daily->GetDownloadUrl(), "/product/redir?lid=88121&mgc=si");
    EXPECT_TRUE(daily->IsDirectDownload());
    daily->catalogItem->links[0].size = "about 2 MB";
    EXPECT_FALSE(daily->IsDirectDownload());
    daily->catalogItem->links[0].ID.clear();
    EXPECT_EQ(daily->GetDownloadUrl(), "");

    VN_DailyItem empty;
    EXPECT_EQ(empty.GetDisplayName(false), "");
    EXPECT_FALSE(empty.IsDirectDownload());

    EXPECT_STREQ(dlmgr::CHistoryItem::StateText(dlmgr::kStateCopyFailed), "Copy Failed");
    EXPECT_STREQ(dlmgr::CHistoryItem::StateText(8), "");
    EXPECT_STREQ(dlmgr::CHistoryItem::StateText(-1), "");
}

TEST(PersistentClasses, ARegisteredNameKeepsItsFirstEntry) {
    const inventory::PersistentClass* history = inventory::FindPersistentClass("CHistoryItem");
    ASSERT_NE(history, nullptr);
    const size_t known = inventory::PersistentClasses().size();
    dlmgr::RegisterItemClasses();
    inventory::RegisterPersistentClass({"VN_WatchItem", 2, nullptr});
    EXPECT_EQ(inventory::PersistentClasses().size(), known);
    EXPECT_EQ(inventory::FindPersistentClass("CHistoryItem"), history);
    EXPECT_EQ(inventory::FindPersistentClass("VN_WatchItem")->schema, 1);
}

TEST(ObList, CountsAndDebugListing) {
    auto word = testsupport::FullWatchItem();
    word->productGuid.clear();  // a plain program, named by progName
    word->fileDesc.clear();
    VN_DriverItem noCurrent;
    noCurrent.deviceDesc = "PCI bus";
    auto history = testsupport::FullHistoryItem();
    VN_ObList list;
    list.AddTail(nullptr);
    list.AddTail(&noCurrent);
    list.AddTail(word.get());
    list.AddTail(history.get());
    EXPECT_EQ(list.CountWithCurrent(), 1);
    EXPECT_EQ(list.FirstItem(), &noCurrent);
    EXPECT_EQ(list.FirstWithCurrent(), word.get());

    std::string dumped;
    vnlog::SetDebugSink([&](std::string_view t) { dumped += std::string(t); });
    list.Dump();
    vnlog::SetDebugSink(nullptr);
    const std::string expected =
        "--------------------- A ObList --------------------\n"
        "Total count: 4 \t numHasCurrent: 1\n"
        "  item: product    \tPCI bus\n"
        "        guid      \n"
        "        exe       \n"
        "        uninstall \n"
        "        orgName   \n"
        "        fileDesc || strLen:0  isEmpty:1\n"
        "\n"
        "  item: product   100231 \tMicrosoft Office Enterprise 2007\n"
        "        guid      \n"
        "        exe       C:\\Program Files (x86)\\Microsoft Office\\Office12\\WINWORD.EXE\n"
        "        uninstall MsiExec.exe /X{90120000-0030-0000-0000-0000000FF1CE}\n"
        "        orgName   Microsoft Office Enterprise 2007\n"
        "        fileDesc || strLen:0  isEmpty:1\n"
        "\n";
    EXPECT_EQ(dumped, expected);
}
