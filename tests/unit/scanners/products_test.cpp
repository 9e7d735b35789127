// The installed-product scanners over recorded registry and installer data:
// which entries become products, how the two sources merge, what the watch
// list receives, the name rewrites, stopping, and the still-installed test.
#include "scanners/products.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "common/temp_folder.h"
#include "inventory/inventory_test_support.h"
#include "inventory/watch_list.h"
#include "platform/text.h"
#include "product_fakes.h"
#include "scanners/md5.h"

using namespace RegScan;
using namespace producttest;

namespace {

constexpr char kOffice[] = "{90160000-0011-0000-0000-0000000FF1CE}";
constexpr char kZip[] = "{23170F69-40C1-2702-1900-000001000000}";

class Products : public ::testing::Test {
protected:
    ProductSources Sources() { return ProductSources{&keys, &installer}; }

    // Fills a merged map with the watch list as context and answers the
    // watch list's items by key name.
    std::map<std::string, VN_WatchItem*> ScanIntoList() {
        VN_AllProducts all(&list, Sources());
        EXPECT_FALSE(all.Fill());
        std::map<std::string, VN_WatchItem*> byKey;
        for (VN_WatchItem* item : list.WatchItems()) byKey[item->keyName] = item;
        return byKey;
    }

    FakeUninstallKeys keys;
    FakeInstaller installer;
    VN_WatchList list;
};

TEST(ProductRecords, SignaturesJoinTheirFieldsWithBars) {
    RegScan::VN_RegistryItem empty;
    EXPECT_EQ(empty.GetSignature(), "|||||");
    EXPECT_EQ(empty.GetSignatureMd5(), digest::StringDigest("|||||"));

    RegScan::VN_RegistryItem entry("7-Zip", Entry("7-Zip 19.00 (x64)", "\"C:\\Missing\\7-Zip\\Uninstall.exe\" /S", "19.00", "",
                                         "19", "0"));
    // The uninstall command appears in its changed form: the missing file's size is 0.
    EXPECT_EQ(entry.GetSignature(), "7-Zip|7-Zip 19.00 (x64)|19.00|19|0|\"0\" /S");
    EXPECT_EQ(entry.GetSignatureMd5(), digest::StringDigest(entry.GetSignature()));
    EXPECT_EQ(entry.GetSignatureMd5().size(), 32u);

    VN_MsiProductItem product;
    product.productCode = kOffice;
    product.productName = "Microsoft Office";
    product.versionString = "16.0.4266.1001";
    product.versionMajor = "16";
    EXPECT_EQ(product.GetSignature(), std::string(kOffice) + "|Microsoft Office|16.0.4266.1001");
    EXPECT_EQ(product.GetUninstallString(), std::string("MsiExec.exe /X") + kOffice);
    EXPECT_EQ(product.GetMajorMinorVersion(), "16");
    EXPECT_EQ(product.GetDisplayVersion(), "");
    product.uninstallOverride = "MsiExec.exe /I" + std::string(kOffice);
    EXPECT_EQ(product.GetUninstallString(), product.uninstallOverride);
}

TEST(ProductNames, RemoveOnlyAndRemoveOrRepairSuffixesAreDropped) {
    const std::pair<std::string, std::string> cases[] = {
        {"Windows Live Toolbar (Remove Only)", "Windows Live Toolbar"},
        {"Foo (REMOVE ONLY)", "Foo"},
        {"Foo\t( rEmOvE \t oNlY )  ", "Foo"},
        {"Foo (Remove or Repair)", "Foo"},
        {"Foo  (remove  OR  repair)", "Foo"},
        {"Foo (Remove Only) (Remove or Repair)", "Foo"},
        // the blanks after the words go with them, and every match goes
        {"Foo (Remove Only) Bar", "FooBar"},
        {"A (remove only) B (Remove Only)", "AB"},
        {"Foo ()", "Foo ()"},
        {"Foo Remove Only", "Foo Remove Only"},
        {"Foo (RemoveOnly)", "Foo (RemoveOnly)"},
        {"Foo (Remove Only", "Foo (Remove Only"},
        {"Caf\xE9 (Remove Only)", "Caf\xE9"},
        {"", ""},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(RewriteProductName(name), expected) << name;
}

// Every time the words were found their text is removed again, so that
// what a removal joins up goes too; a long name with the words many times
// loses all of them.
TEST(ProductNames, EveryFoundTextIsRemovedAsOftenAsItWasFound) {
    EXPECT_EQ(RewriteProductName("((Remove Only)Remove Only)x(Remove Only)"), "x");
    std::string many;
    for (int i = 0; i < 2000; ++i) many += "x (Remove Only) ";
    EXPECT_EQ(RewriteProductName(many), std::string(2000, 'x'));
}

TEST_F(Products, RootsAreWalkedInOrderLaterNamesWinning) {
    keys.Add(UninstallRoot::Machine64, "Shared", Entry("From 64-bit view", "a.exe"));
    keys.Add(UninstallRoot::Machine32, "Shared", Entry("From 32-bit view", "c.exe"));
    keys.Add(UninstallRoot::Machine32, "Only32", Entry("32-bit program", "d.exe"));
    keys.Add(UninstallRoot::User, "Only32", Entry("Per-user program", "e.exe"));
    keys.Add(UninstallRoot::User, "shared", Entry("Other case", "f.exe"));
    keys.MakeUnopenable(UninstallRoot::Machine64);
    VN_RegistryProducts registry(nullptr, Sources());
    EXPECT_FALSE(registry.Fill());
    EXPECT_EQ(keys.opened, (std::vector<UninstallRoot>{UninstallRoot::Machine64, UninstallRoot::Machine32,
                                                       UninstallRoot::User}));
    ASSERT_EQ(registry.GetCount(), 3u) << "a root that cannot be opened contributes nothing";
    EXPECT_EQ(registry.Lookup("Shared")->GetName(), "From 32-bit view");
    EXPECT_EQ(registry.Lookup("Only32")->GetName(), "Per-user program");
    EXPECT_EQ(registry.Lookup("shared")->GetName(), "Other case") << "keys compare case-sensitively";
}

TEST_F(Products, InstallerProductsTakeTheirPropertiesTrimmed) {
    installer.AddProduct(kZip, {{"ProductName", "  7-Zip 19.00 (x64 edition) "},
                                {"VersionString", "19.00.00.0"},
                                {"VersionMajor", "19"},
                                {"VersionMinor", "0"},
                                {"ProductIcon", "C:\\Windows\\Installer\\{23170F69}\\icon.ico"}});
    installer.AddProduct(kOffice, {{"ProductName", std::string(300, 'n')}});
    VN_MsiProducts products(nullptr, Sources());
    EXPECT_FALSE(products.Fill());
    ASSERT_EQ(products.GetCount(), 2u);
    const auto* zip = dynamic_cast<const VN_MsiProductItem*>(products.Lookup(kZip));
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->productName, "7-Zip 19.00 (x64 edition)");
    EXPECT_EQ(zip->GetMajorMinorVersion(), "19.0");
    EXPECT_EQ(zip->GetIconPath(), "C:\\Windows\\Installer\\{23170F69}\\icon.ico");
    EXPECT_EQ(products.Lookup(kOffice)->GetName(), std::string(260, 'n')) << "at most 260 characters are taken";

    EXPECT_EQ(ReadProductProperty(&installer, "", "ProductName"), "");
    const int reads = installer.propertyReads;
    ReadProductProperty(&installer, "", "ProductName");
    EXPECT_EQ(installer.propertyReads, reads) << "an empty product code is not asked about";
}

TEST_F(Products, TheInstallerWinsAndTakesOnlyTheRegistrysUninstallCommand) {
    installer.AddProduct(kOffice, {{"ProductName", "Microsoft Office Professional Plus 2016"},
                                   {"VersionString", "16.0.4266.1001"}});
    installer.AddProduct(kZip, {{"ProductName", "7-Zip"}});
    keys.Add(UninstallRoot::Machine32, kOffice,
             Entry("Office 16 Click-to-Run", "\"C:\\Program Files\\Common Files\\OfficeSetup.exe\" /uninstall",
                   "16.0.1", "16.0.2"));
    // Differs from an installer product code only in letter case: a product of its own.
    const std::string lowerZip = "{23170f69-40c1-2702-1900-000001000000}";
    keys.Add(UninstallRoot::Machine64, lowerZip, Entry("7-Zip (registry)", "C:\\7z\\uninstall.exe"));

    VN_AllProducts all(nullptr, Sources());
    EXPECT_FALSE(all.Fill());
    ASSERT_EQ(all.GetCount(), 3u);
    const VN_ProductItemBase* office = all.Lookup(kOffice);
    ASSERT_NE(office, nullptr);
    EXPECT_EQ(office->GetName(), "Microsoft Office Professional Plus 2016");
    EXPECT_EQ(office->GetVersionString(), "16.0.4266.1001");
    EXPECT_EQ(office->GetUninstallString(), "\"C:\\Program Files\\Common Files\\OfficeSetup.exe\" /uninstall");
    EXPECT_EQ(office->GetSignature(),
              std::string(kOffice) + "|Microsoft Office Professional Plus 2016|16.0.4266.1001");
    EXPECT_EQ(all.Lookup(kZip)->GetUninstallString(), std::string("MsiExec.exe /X") + kZip);
    EXPECT_EQ(all.Lookup(lowerZip)->GetName(), "7-Zip (registry)");
    EXPECT_TRUE(list.IsEmpty()) << "without a context no watch items are made";
}

TEST_F(Products, EveryProductReachesTheWatchListWithItsVersionChoice) {
    keys.Add(UninstallRoot::Machine64, "VersionString", Entry("A", "a.exe", "2.0", "2.0.1.5", "2", "0"));
    keys.Add(UninstallRoot::Machine64, "DisplayVersion", Entry("B", "b.exe", "1.2"));
    keys.Add(UninstallRoot::Machine64, "MajorOnly", Entry("C", "c.exe", "", "", "3", ""));
    keys.Add(UninstallRoot::Machine64, "NoVersion", Entry("D (Remove Only)", "d.exe", "", "", "", "7"));
    installer.AddProduct(kZip, {{"VersionMajor", "19"}, {"VersionMinor", "0"}});  // no ProductName

    const auto items = ScanIntoList();
    ASSERT_EQ(items.size(), 5u);
    const VN_WatchItem* a = items.at("VersionString");
    EXPECT_EQ(a->installedVers, "2.0.1.5");
    EXPECT_EQ(a->installedVers2, "2.0");
    EXPECT_EQ(a->installedVers3, "2.0");
    EXPECT_EQ(a->source, "registry");
    EXPECT_EQ(a->uninstallString, "a.exe");
    EXPECT_EQ(a->signature, "VersionString|A|2.0|2|0|a.exe");
    EXPECT_EQ(items.at("DisplayVersion")->installedVers, "1.2");
    EXPECT_EQ(items.at("MajorOnly")->installedVers, "3");
    EXPECT_EQ(items.at("MajorOnly")->installedVers3, "");
    const VN_WatchItem* d = items.at("NoVersion");
    EXPECT_EQ(d->installedVers, "");
    EXPECT_EQ(d->progName, "D");

    // An installer product without a name still becomes an item.
    const VN_WatchItem* zip = items.at(kZip);
    EXPECT_EQ(zip->progName, "");
    EXPECT_EQ(zip->installedVers, "19.0");
    EXPECT_EQ(zip->installedVers2, "19.0");
    EXPECT_EQ(zip->uninstallString, std::string("MsiExec.exe /X") + kZip);
    EXPECT_EQ(zip->signature, std::string(kZip) + "||");
    EXPECT_TRUE(zip->productGuid.empty()) << "the product code travels as the key name";

    // A second scan finds the same products again and adds nothing.
    EXPECT_EQ(ScanIntoList().size(), 5u);
    EXPECT_EQ(list.GetCount(), 5u);
}

TEST_F(Products, TheExclusionListLeavesProductsOutByName) {
    {
        const testing_support::TempFolder dir("varnel-products");
        const std::string folder = dir.str();
        dir.Write("exclusions.xml",
                  "<exclusion revDate=\"1\"><item name=\"Microsoft Office\"/><item "
                  "name=\"^Security Update*\"/></exclusion>");
        list.SetServiceFileFolders(folder, folder + "/");
        list.LoadExclusions();
    }

    installer.AddProduct(kOffice, {{"ProductName", "Microsoft Office"}});
    installer.AddProduct(kZip, {{"ProductName", "7-Zip"}});
    // The installer's product is excluded, so its registry entry counts on its own name.
    keys.Add(UninstallRoot::Machine64, kOffice, Entry("Office (registry name)", "setup.exe"));
    keys.Add(UninstallRoot::Machine64, "KB1", Entry("Security Update for Windows (KB1)", "wusa.exe"));
    keys.Add(UninstallRoot::Machine64, "Other", Entry("Other", "other.exe"));

    const auto items = ScanIntoList();
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(items.count("KB1"), 0u);
    ASSERT_EQ(items.count(kOffice), 1u);
    EXPECT_EQ(items.at(kOffice)->progName, "Office (registry name)");

    // Without a context the same data yields every product.
    VN_AllProducts all(nullptr, Sources());
    all.Fill();
    EXPECT_EQ(all.GetCount(), 4u);
}

TEST_F(Products, AStopRequestEndsTheScanAndHandsNothingFurtherOn) {
    for (int i = 0; i < 5; ++i)
        keys.Add(UninstallRoot::Machine64, "Entry" + std::to_string(i), Entry("P" + std::to_string(i), "u.exe"));
    keys.Add(UninstallRoot::User, "UserEntry", Entry("U", "u.exe"));
    keys.onRead = [&](const std::string& name) {
        if (name == "Entry1") list.SetStop();
    };
    VN_RegistryProducts registry(&list, Sources());
    EXPECT_TRUE(registry.Fill());
    EXPECT_EQ(registry.GetCount(), 2u) << "the subkeys read before the stop are kept";
    EXPECT_EQ(keys.opened.size(), 1u) << "a stopped walk opens no further root";

    // Stopped inside the registry walk of the merged scan, with records
    // collected before it, or with none: either way the scan says stopped
    // and hands nothing on.
    list.ResetStop();
    VN_AllProducts all(&list, Sources());
    EXPECT_TRUE(all.Fill());
    EXPECT_TRUE(list.IsEmpty());
    VN_AllProducts none(&list, Sources());
    EXPECT_TRUE(none.Fill()) << "a stop that left the merged map empty is still a stop";
    EXPECT_TRUE(list.IsEmpty());

    // Stopped between installer products.
    list.ResetStop();
    keys.onRead = nullptr;
    installer.AddProduct(kZip, {{"ProductName", "7-Zip"}});
    installer.AddProduct(kOffice, {{"ProductName", "Office"}});
    installer.onProduct = [&](const std::string& code) {
        if (code == kOffice) list.SetStop();
    };
    VN_MsiProducts products(&list, Sources());
    EXPECT_TRUE(products.Fill());
    EXPECT_EQ(products.GetCount(), 1u);
}

// A long key is read on two threads: the records are those of one reader,
// and a stop or a failure keeps exactly the subkeys before the first unread.
TEST_F(Products, ALongKeyIsReadOnTwoThreadsWithTheSameRecordsStopAndFailure) {
    const auto name = [](int i) { return textutil::Format("Entry%03d", i); };
    for (int i = 0; i < 120; ++i) keys.Add(UninstallRoot::Machine64, name(i), Entry("P" + std::to_string(i), "u.exe"));
    VN_RegistryProducts one(nullptr, Sources());
    EXPECT_FALSE(one.Fill());

    keys.parallel = true;
    std::mutex mutex;
    std::set<std::thread::id> readers;
    keys.onRead = [&](const std::string&) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        std::lock_guard<std::mutex> lock(mutex);
        readers.insert(std::this_thread::get_id());
    };
    VN_RegistryProducts two(nullptr, Sources());
    EXPECT_FALSE(two.Fill());
    EXPECT_EQ(readers.size(), 2u);
    ASSERT_EQ(two.GetCount(), one.GetCount());
    for (const auto& [key, record] : one.GetRecords()) {
        const RegScan::VN_ProductItemBase* other = two.Lookup(key);
        ASSERT_NE(other, nullptr) << key;
        EXPECT_EQ(other->GetSignature(), record->GetSignature());
    }

    // Whatever reader meets them, a stop and a failure keep the same prefix.
    const auto keptPrefix = [&](const VN_RegistryProducts& products) {
        size_t count = 0;
        while (products.Lookup(name(static_cast<int>(count)))) ++count;
        return count == products.GetCount() ? count : 0;
    };
    keys.onRead = [&](const std::string& read) {
        if (read == name(60)) list.SetStop();
    };
    VN_RegistryProducts stopped(&list, Sources());
    EXPECT_TRUE(stopped.Fill());
    EXPECT_GE(keptPrefix(stopped), 61u);
    EXPECT_LT(keptPrefix(stopped), 120u);
    list.ResetStop();

    testsupport::LogCapture log;
    keys.onRead = [&](const std::string& read) {
        if (read == name(90)) throw std::runtime_error("unreadable");
    };
    VN_RegistryProducts failed(nullptr, Sources());
    EXPECT_TRUE(failed.Fill());
    EXPECT_EQ(keptPrefix(failed), 90u);
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_RegistryProducts::Fill"));
}

TEST_F(Products, AFailingSourceEndsItsFillAsAStopWouldAndIsLogged) {
    testsupport::LogCapture log;
    installer.AddProduct(kZip, {{"ProductName", "7-Zip"}});
    installer.AddProduct(kOffice, {{"ProductName", "Office"}});
    keys.Add(UninstallRoot::Machine64, "Other", Entry("Other", "other.exe"));
    keys.Add(UninstallRoot::User, "Mine", Entry("Mine", "mine.exe"));

    // The installer fails at its second product: what both sources read is
    // still handed over, and the merged fill answers stopped, so that the
    // inventory pass removes nothing.
    installer.onProduct = [](const std::string& code) {
        if (code == kOffice) throw std::runtime_error("installer failed");
    };
    VN_AllProducts all(&list, Sources());
    EXPECT_TRUE(all.Fill());
    EXPECT_TRUE(all.Failed());
    std::set<std::string> keysHanded;
    for (const VN_WatchItem* item : list.WatchItems()) keysHanded.insert(item->keyName);
    EXPECT_EQ(keysHanded, (std::set<std::string>{kZip, "Other", "Mine"}));
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_MsiProducts::Fill"));

    // The registry walk fails in its last root, with something that is not an
    // exception object.
    installer.onProduct = nullptr;
    keys.onSubkey = [](const std::string& name) {
        if (name == "Mine") throw 42;
    };
    VN_RegistryProducts registry(nullptr, Sources());
    EXPECT_TRUE(registry.Fill());
    EXPECT_EQ(registry.GetCount(), 1u);
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_RegistryProducts::Fill in catch all block."));
    VN_AllProducts merged(nullptr, Sources());
    EXPECT_TRUE(merged.Fill());
    EXPECT_EQ(merged.GetCount(), 3u);
}

TEST_F(Products, AProductIsStillInstalledWhileTheInstallerOrAnEntryNamesIt) {
    installer.AddProduct(kOffice, {{"ProductName", "Office"}});
    installer.AddProduct(kZip, {{"ProductName", "  "}});
    keys.Add(UninstallRoot::Machine32, "Only32", Entry("32-bit program", ""));  // no uninstall command needed
    keys.Add(UninstallRoot::User, "Unnamed", Entry("", "x.exe"));
    EXPECT_TRUE(IsProductInstalled(kOffice, Sources()));
    EXPECT_TRUE(IsProductInstalled("Only32", Sources()));
    EXPECT_FALSE(IsProductInstalled(kZip, Sources())) << "a blank installer name does not count";
    EXPECT_FALSE(IsProductInstalled("Unnamed", Sources()));
    EXPECT_FALSE(IsProductInstalled("Gone", Sources()));
    EXPECT_FALSE(IsProductInstalled("", Sources()));
    EXPECT_FALSE(IsProductInstalled(kOffice, ProductSources{})) << "no sources, nothing installed";
}

}  // namespace
