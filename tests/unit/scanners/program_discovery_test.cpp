// Program discovery on the host: real folder trees holding program images
// with version resources, a recorded system for what only Windows can answer
// (special folders, shortcut targets, document associations, processes), and
// recorded product scanners. Covers what the file-to-item operation answers,
// how the inventory pass picks and orders its sources, what a stop or a
// finished pass leaves in the watch list, the version refresh and the manual
// add.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "common/scoped_hook.h"
#include "inventory/inventory_test_support.h"
#include "inventory/watch_list.h"
#include "inventory/watch_list_test_support.h"
#include "platform/event_log.h"
#include "platform/message_names.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "product_fakes.h"
#include "scanners/products.h"
#include "scanners/program_discovery.h"
#include "version_builder.h"

using scanners::ItemResult;
using scanners::ShortcutInfo;
using scanners::SpecialFolder;
using scanners::VN_ProgramDiscovery;
using testsupport::LogCapture;
using testsupport::TempDir;

namespace {

// The Windows form of a host path; the file functions map it back.
std::string Win(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

struct ProgramVersion {
    std::string product;
    std::string company = "Contoso";
    std::string description = "A tool";
    uint16_t major = 1, minor = 2, build = 3, revision = 4;
    std::string productVersion = "1.2";
    std::string fileVersion = "1.2.3.4";
};

// A program image whose version resource holds the given texts (English,
// Windows-1252).
std::string ProgramImage(const ProgramVersion& v) {
    using namespace testdata;
    std::vector<VersionBlock> strings = {StringValue("CompanyName", U16(v.company)),
                                         StringValue("FileDescription", U16(v.description)),
                                         StringValue("FileVersion", U16(v.fileVersion)),
                                         StringValue("ProductName", U16(v.product))};
    if (!v.productVersion.empty()) strings.push_back(StringValue("ProductVersion", U16(v.productVersion)));
    const uint32_t ms = Version(v.major, v.minor), ls = Version(v.build, v.revision);
    const VersionBlock root =
        Root(FixedInfo(ms, ls, ms, ls), {StringFileInfo({Table("040904e4", strings)}), VarFileInfo({{0x409, 0x4e4}})});
    return PeImage(EncodeBlock(root));
}

void WriteFile(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testsupport::WriteFile(path, data);
}

// What Windows would answer, as recorded data.
class RecordedSystem final : public scanners::IDiscoverySystem {
public:
    struct Process {
        uint32_t id;
        std::string path;
        bool visible;
    };

    void PrepareForScan() override { ++prepared; }
    bool IsNtFamily() override { return nt; }
    std::string SpecialFolderPath(SpecialFolder folder) override {
        const auto it = folders.find(folder);
        return it == folders.end() ? std::string() : it->second;
    }
    scanners::LinkResult ResolveShortcut(const std::string& path, ShortcutInfo& info) override {
        info = ShortcutInfo();
        if (onResolve) onResolve(path);
        const auto it = shortcuts.find(path);
        if (it == shortcuts.end()) return static_cast<scanners::LinkResult>(0x80070002u);
        info = it->second;
        return scanners::kLinkOk;
    }
    std::string ProgramForDocument(const std::string& document) override {
        ++documentsAsked;
        const auto it = associations.find(textutil::ToLowerAscii(textutil::ExtensionOf(document)));
        return it == associations.end() ? std::string() : it->second;
    }
    bool IsNetworkPath(const std::string& path) override {
        for (const std::string& place : networkPlaces) {
            if (textutil::StartsWithNoCase(path, place)) return true;
        }
        return false;
    }
    void EnumerateProcesses(const std::function<bool(uint32_t, const std::string&)>& step) override {
        for (const Process& p : processes) {
            if (!step(p.id, p.path)) break;
        }
    }
    bool HasVisibleWindow(uint32_t id) override {
        for (const Process& p : processes) {
            if (p.id == id) return p.visible;
        }
        return false;
    }

    bool nt = true;
    int prepared = 0;
    std::map<SpecialFolder, std::string> folders;
    std::map<std::string, ShortcutInfo> shortcuts;
    std::map<std::string, std::string> associations;  // extension -> program
    int documentsAsked = 0;
    std::vector<std::string> networkPlaces;  // paths below these are on the network
    std::vector<Process> processes;
    std::function<void(const std::string&)> onResolve;
};

// Product scanners that note when they ran and hand over prepared items.
class RecordedProducts final : public scanners::IProductScanners {
public:
    explicit RecordedProducts(std::vector<std::string>& order) : order_(order) {}
    bool ScanComponents(VN_WatchList& list, const scanners::ItemFromFileFn& itemFromFile) override {
        order_.push_back("components");
        for (const std::string& path : componentFiles) {
            VN_WatchItem item;
            if (itemFromFile(path, item, true) == scanners::kItemFilled) list.AddOrMerge(item, false, true);
        }
        return stopComponents;
    }
    bool ScanInstalledProducts(VN_WatchList& list) override {
        order_.push_back("products");
        if (sources) return RegScan::VN_AllProducts(&list, *sources).Fill();
        for (const auto& item : products) list.AddOrMerge(*item, false, false);
        return stopProducts;
    }

    // When set, the product scan is the machine's, over these sources.
    const RegScan::ProductSources* sources = nullptr;
    std::vector<std::string> componentFiles;
    std::vector<wltest::Item> products;
    bool stopComponents = false;
    bool stopProducts = false;

private:
    std::vector<std::string>& order_;
};

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto [folder, name] : {std::pair{SpecialFolder::StartMenu, "StartMenu"},
                                    {SpecialFolder::CommonStartMenu, "CommonStartMenu"},
                                    {SpecialFolder::AppData, "AppData"},
                                    {SpecialFolder::Desktop, "Desktop"},
                                    {SpecialFolder::Recent, "Recent"}}) {
            const std::string path = root_.File(name);
            std::filesystem::create_directories(path);
            system_.folders[folder] = Win(path);
        }
        list_.SetServiceFileFolders(Win(root_.Path()), Win(root_.Path()) + "\\");
    }

    // A program file under the test root; answers its Windows path.
    std::string Program(const std::string& relative, const ProgramVersion& version) {
        WriteFile(root_.File(relative), ProgramImage(version));
        return Win(root_.File(relative));
    }
    // A shortcut file under the test root pointing to `target`.
    std::string Shortcut(const std::string& relative, const std::string& target, ShortcutInfo info = ShortcutInfo()) {
        WriteFile(root_.File(relative), "L");
        info.target = target;
        system_.shortcuts[Win(root_.File(relative))] = info;
        return Win(root_.File(relative));
    }
    void Exclude(const std::string& itemsXml) {
        WriteFile(root_.File("exclusions.xml"),
                  "<?xml version=\"1.0\"?><exclusion revDate=\"2024-05-01\">" + itemsXml + "</exclusion>");
        list_.LoadExclusions();
    }
    int FromFile(const std::string& path, VN_WatchItem& item, bool check = true) {
        return discovery_.ItemFromFile(path, item, check);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const VN_WatchItem* item : list_.WatchItems()) names.push_back(item->progName);
        return names;
    }
    const VN_WatchItem* Named(const std::string& name) const {
        for (const VN_WatchItem* item : list_.WatchItems()) {
            if (item->progName == name) return item;
        }
        return nullptr;
    }
    // The folders searched, in order, as the log names them.
    std::vector<std::string> SearchedFolders(const LogCapture& log) const {
        std::vector<std::string> folders;
        const std::string text = log.Text();
        const std::string marker = "Start searching directory: ";
        for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
            const size_t begin = at + marker.size();
            std::string folder = text.substr(begin, text.find('\n', begin) - begin);
            const std::string base = Win(root_.Path()) + "\\";
            if (folder.rfind(base, 0) == 0) folder.erase(0, base.size());
            folders.push_back(folder);
        }
        return folders;
    }
    void Set(const char* name, bool on) { platform::AppSettings().WriteFlag(name, on); }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::ScopedHook<platform::InstallNotifier> notifier_{nullptr};
    TempDir root_;
    RecordedSystem system_;
    std::vector<std::string> order_;
    RecordedProducts products_{order_};
    VN_WatchList list_;
    VN_ProgramDiscovery discovery_{list_, system_, products_};
};

}  // namespace

// ----------------------------------------------------------- file to item

TEST_F(Discovery, ResultCodesForWhatTheFileIs) {
    ProgramVersion v;
    v.product = "Thing";
    Program("files/driver.SYS", v);
    Program("files/applet.cpl", v);
    Program("files/library.dll", v);
    Program("files/helper.com", v);
    WriteFile(root_.File("files/plain.exe"), testdata::PeImage("no version here", 3));
    WriteFile(root_.File("files/notes.txt"), "text");
    WriteFile(root_.File("files/picture.xyz"), "image");
    std::filesystem::create_directories(root_.File("files/folder.exe"));
    system_.associations["txt"] = Program("files/editor.exe", v);
    system_.associations["xyz"] = Win(root_.File("files/helper.com"));
    Shortcut("files/gone.lnk", Win(root_.File("files/missing.exe")));
    Shortcut("files/folder.lnk", Win(root_.File("files/folder.exe")));
    WriteFile(root_.File("files/broken.lnk"), "not a shortcut");

    const std::map<std::string, int> expected = {
        {"driver.SYS", scanners::kItemFilled},     {"applet.cpl", scanners::kItemFilled},
        {"library.dll", scanners::kItemNotProgram},
        {"plain.exe", scanners::kItemNoVersionInfo}, {"missing.exe", scanners::kItemFileMissing},
        {"folder.exe", scanners::kItemIsFolder},   {"unknown.doc", scanners::kItemFileMissing},
        {"picture.xyz", scanners::kItemNotProgram}, {"gone.lnk", scanners::kItemFileMissing},
        {"folder.lnk", scanners::kItemIsFolder},   {"broken.lnk", scanners::kItemShortcutUnresolved},
    };
    WriteFile(root_.File("files/unknown.doc"), "no program opens this");
    for (const auto& [name, code] : expected) {
        VN_WatchItem item;
        EXPECT_EQ(FromFile(Win(root_.File("files/" + name)), item), code) << name;
    }
    VN_WatchItem empty;
    EXPECT_EQ(FromFile("", empty), scanners::kItemFileMissing);
}

TEST_F(Discovery, ItemsFromProgramsShortcutsAndDocuments) {
    ProgramVersion v;
    v.product = "  Widget Studio ";
    v.description = " Widget editor ";
    const std::string exe = Program("apps/widget.exe", v);
    VN_WatchItem program;
    ASSERT_EQ(FromFile(exe, program), scanners::kItemFilled);
    EXPECT_EQ(program.progName, "Widget Studio");
    EXPECT_EQ(program.packageName, "Contoso");
    EXPECT_EQ(program.fileDesc, "Widget editor");
    EXPECT_EQ(program.targetName, exe);
    EXPECT_EQ(program.executableName, "widget.exe");
    EXPECT_EQ(program.shortcutName, "");
    EXPECT_EQ(program.installedVers, "1.2");
    EXPECT_EQ(program.installedVers2, "1.2.3.4");
    EXPECT_EQ(program.installedVers3, "1.2.3.4");
    EXPECT_EQ(program.source, "exe");
    // Without a product version the fixed file version stands in.
    v.productVersion.clear();
    v.build = 9;
    VN_WatchItem bare;
    ASSERT_EQ(FromFile(Program("apps/bare.exe", v), bare), scanners::kItemFilled);
    EXPECT_EQ(bare.installedVers, "1.2.9.4");

    ProgramVersion foo;
    foo.product = "Foo Suite";
    const std::string fooExe = Program("apps/foo.exe", foo);
    ShortcutInfo details;
    details.arguments = "/fast";
    details.description = "Runs Foo";
    details.productCode = "{11111111-2222-3333-4444-555555555555}";
    details.componentGuid = "{AAAAAAAA-2222-3333-4444-555555555555}";
    const std::string link = Shortcut("menu/Shortcut to Foo.lnk", fooExe, details);

    VN_WatchItem item;
    ASSERT_EQ(FromFile(link, item), scanners::kItemFilled);
    EXPECT_EQ(item.progName, "Foo");
    EXPECT_EQ(item.shortcutName, link);
    EXPECT_EQ(item.targetName, fooExe);
    EXPECT_EQ(item.arguments, "/fast");
    EXPECT_EQ(item.description, "Runs Foo");
    EXPECT_EQ(item.productGuid, details.productCode);
    EXPECT_EQ(item.componentGuid, details.componentGuid);

    // A shortcut to a document: the program that opens it, named by itself.
    ProgramVersion editor;
    editor.product = "Text Editor";
    system_.associations["txt"] = Program("apps/editor.exe", editor);
    WriteFile(root_.File("docs/readme.txt"), "hello");
    VN_WatchItem viaDocument;
    ASSERT_EQ(FromFile(Shortcut("menu/Read me.lnk", Win(root_.File("docs/readme.txt"))), viaDocument),
              scanners::kItemFilled);
    EXPECT_EQ(viaDocument.progName, "Text Editor");
    EXPECT_EQ(viaDocument.shortcutName, "");
    EXPECT_EQ(viaDocument.targetName, system_.associations["txt"]);

    // The same shortcut once its document is on a network place: passed over
    // before the document is looked at. A program there is still read.
    system_.networkPlaces.push_back(Win(root_.File("docs")));
    system_.networkPlaces.push_back(Win(root_.File("apps")));
    const int asked = system_.documentsAsked;
    VN_WatchItem networkDocument;
    EXPECT_EQ(FromFile(Win(root_.File("menu/Read me.lnk")), networkDocument), scanners::kItemNetworkDocument);
    EXPECT_EQ(system_.documentsAsked, asked);
    VN_WatchItem networkProgram;
    EXPECT_EQ(FromFile(Shortcut("menu/Editor.lnk", system_.associations["txt"]), networkProgram),
              scanners::kItemFilled);
    EXPECT_EQ(networkProgram.progName, "Editor");
}

TEST(DisplayName, Rules) {
    using scanners::DisplayName;
    EXPECT_EQ(DisplayName("Product", "C:\\P\\IEXPLORE.EXE", "C:\\M\\Web.lnk"), "Internet Explorer");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\msimn.exe", ""), "Outlook Express");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", "C:\\M\\SHORTCUT TO Foo Bar.LNK"), "Foo Bar");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", "C:\\M\\Foo (shortcut to).lnk"), "Foo (shortcut to)");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", "C:\\M\\Foo.lnk.bak"), "Foo.lnk.bak");
    // A shortcut walked by its short name, its own being outside the code page.
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", "C:\\M\\FNF~1.LNK"), "Product");
    EXPECT_EQ(DisplayName("", "C:\\P\\foo.exe", "C:\\M\\FNF~1.LNK"), "FNF~1");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", "C:\\M\\Fnf~1.lnk"), "Fnf~1");
    EXPECT_EQ(DisplayName("Product", "C:\\P\\foo.exe", ""), "Product");
    EXPECT_EQ(DisplayName("", "C:\\P\\foo.exe", ""), "foo.exe");
}

TEST_F(Discovery, ExclusionsApplyOnlyWithChecks) {
    ProgramVersion v;
    v.product = "Blocked Product";
    const std::string byProduct = Program("x/a.exe", v);
    v.product = "Fine";
    const std::string byFile = Program("x/blockedfile.exe", v);
    const std::string plain = Program("x/plain.exe", v);
    const std::string byDisplayName = Shortcut("x/Blocked Name.lnk", plain);
    v.product = "Microsoft Internet Explorer";
    const std::string browser = Program("x/iexplore.exe", v);
    Exclude("<item product=\"Blocked Product\"/><item name=\"Blocked Name\"/><item name=\"blockedfile.exe\"/>"
            "<item dir=\"" + plain + "\"/><item product=\"Microsoft Internet Explorer\"/>");

    const std::map<std::string, int> expected = {
        {byProduct, scanners::kItemExcludedByName}, {byDisplayName, scanners::kItemExcludedByName},
        {byFile, scanners::kItemExcludedByFileName}, {plain, scanners::kItemExcludedByPath},
        {browser, scanners::kItemFilled},  // the browser's product name never excludes it
    };
    for (const auto& [path, code] : expected) {
        VN_WatchItem checked;
        EXPECT_EQ(FromFile(path, checked, true), code) << path;
        VN_WatchItem unchecked;
        EXPECT_EQ(FromFile(path, unchecked, false), scanners::kItemFilled) << path;
    }
    EXPECT_FALSE(discovery_.IsExcluded("C:\\IE\\IExplore.exe", "Blocked Product"));
    EXPECT_TRUE(discovery_.IsExcluded("", "Blocked Product"));
    EXPECT_FALSE(discovery_.IsExcluded("", ""));
}

// ------------------------------------------------------------ inventory pass

TEST_F(Discovery, FullPassSearchesEverySourceInOrderAndFindsPrograms) {
    ProgramVersion v;
    v.product = "Alpha";
    const std::string alpha = Program("Programs/alpha.exe", v);
    v.product = "Beta";
    const std::string beta = Program("Programs/beta.exe", v);
    v.product = "Gamma";
    const std::string gamma = Program("Programs/gamma.exe", v);
    Shortcut("StartMenu/Programs/Tools/Shortcut to Alpha.lnk", alpha);
    Shortcut("CommonStartMenu/Beta.lnk", beta);
    Shortcut("AppData/Microsoft/Internet Explorer/Quick Launch/Gamma.lnk", gamma);
    WriteFile(root_.File("Desktop/notes.dll"), "x");
    ShortcutInfo installer;
    installer.productCode = "{11111111-2222-3333-4444-555555555555}";
    installer.componentGuid = "{AAAAAAAA-2222-3333-4444-555555555555}";
    v.product = "Delta";
    Shortcut("Recent/Installed.lnk", Program("Programs/delta.exe", v), installer);
    products_.products.push_back(wltest::UninstallEntry("Registry Product", "RegKey", "C:\\un.exe"));

    LogCapture log;
    auto* notices = wltest::NoticeRecorder::Install(notifier_);
    int window = 0;
    const uint32_t message = platform::RegisterMessage(wmname::kUpdateItem);
    EXPECT_TRUE(discovery_.ScanInventory(&window, message, true));

    EXPECT_EQ(order_, (std::vector<std::string>{"products"}));  // the default mode has no component scan
    EXPECT_EQ(SearchedFolders(log),
              (std::vector<std::string>{"StartMenu", "CommonStartMenu",
                                        "AppData\\Microsoft\\Internet Explorer\\Quick Launch", "Desktop", "Recent"}));
    EXPECT_TRUE(log.Contains("  End searching directory: " + system_.folders[SpecialFolder::Recent]));
    const std::vector<std::string> names = Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"Registry Product", "Alpha", "Beta", "Gamma", "Installed", ""}));
    const VN_WatchItem* suite = Named("");
    ASSERT_NE(suite, nullptr);
    EXPECT_TRUE(suite->IsSuite());
    EXPECT_EQ(suite->productGuid, installer.productCode);
    EXPECT_EQ(system_.prepared, 1);

    // Every item was announced to the pass's target, which is cleared afterwards.
    ASSERT_EQ(notices->notices.size(), list_.GetCount());
    EXPECT_EQ(notices->notices.front().window, &window);
    EXPECT_EQ(notices->notices.front().message, message);
    EXPECT_EQ(list_.GetNotifyWindow(), nullptr);
    EXPECT_EQ(list_.GetNotifyMessage(), 0u);
}

TEST_F(Discovery, ModeSettingsChooseTheSources) {
    ProgramVersion v;
    v.product = "Recent Tool";
    Shortcut("Recent/tool.lnk", Program("Programs/tool.exe", v));
    v.product = "Menu Tool";
    Shortcut("StartMenu/menu.lnk", Program("Programs/menu.exe", v));
    v.product = "Running";
    const std::string running = Program("Programs/running.exe", v);
    system_.processes = {{10, running, true}};

    // Slow mode: the component scan first, but only when the caller asks for
    // it; its items are built by the discovery's own file-to-item operation.
    v.product = "Component Tool";
    products_.componentFiles = {Program("Programs/component.exe", v)};
    Set(setting::kScanAllMySoftware, false);
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(order_, (std::vector<std::string>{"components", "products"}));
    EXPECT_NE(Named("Component Tool"), nullptr);
    order_.clear();
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, false));
    EXPECT_EQ(order_, (std::vector<std::string>{"products"}));

    // "Software I Use": the recent documents and running programs only.
    Set(setting::kScanSlowAllMySoftware, false);
    order_.clear();
    LogCapture log;
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_TRUE(order_.empty());
    EXPECT_EQ(SearchedFolders(log), (std::vector<std::string>{"Recent"}));
    EXPECT_TRUE(log.Contains("Start SearchOpenApplication"));
    const std::vector<std::string> names = Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"tool", "Running"}));

    // No mode: nothing is searched and every scanned item goes.
    Set(setting::kScanSoftwareIUse, false);
    EXPECT_EQ(scanners::ChooseScanMode(), scanners::ScanMode::None);
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_TRUE(order_.empty());
    EXPECT_EQ(list_.GetCount(), 0u);
}

TEST_F(Discovery, WindowsNinetyFiveHasNoCommonStartMenuAndQuickLaunchNeedsAppData) {
    system_.nt = false;
    system_.folders.erase(SpecialFolder::AppData);
    LogCapture log;
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(SearchedFolders(log), (std::vector<std::string>{"StartMenu", "", "Desktop", "Recent"}));
}

TEST_F(Discovery, FinishedPassRemovesWhatItDidNotFindButKeepsTheUsersItems) {
    ProgramVersion v;
    v.product = "Kept";
    const std::string kept = Program("Programs/kept.exe", v);
    Shortcut("StartMenu/kept.lnk", kept);
    list_.AddOrMerge(*wltest::Program("Uninstalled", Win(root_.File("Programs/old.exe")), "1.0"), false, false);
    v.product = "Mine";
    const std::string mine = Program("Elsewhere/mine.exe", v);
    ASSERT_EQ(discovery_.AddUserApplication(mine), scanners::kItemFilled);
    list_.AddOrMerge(*wltest::Program("Missing Own", Win(root_.File("Elsewhere/lost.exe")), "1.0"), true, false);

    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    const std::vector<std::string> names = Names();
    ASSERT_EQ(std::set<std::string>(names.begin(), names.end()), (std::set<std::string>{"kept", "Mine", "Missing Own"}));
    EXPECT_EQ(Named("Mine")->removed, item_state::kPresent);
    EXPECT_EQ(Named("Missing Own")->removed, item_state::kGone);  // the presence check still runs on them
    EXPECT_TRUE(list_.IsModified());

    // A second pass finds the same program again and merges it.
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(list_.GetCount(), 3u);
}

TEST_F(Discovery, StopEndsThePassAndRemovesNothing) {
    ProgramVersion v;
    v.product = "First";
    Shortcut("StartMenu/a/first.lnk", Program("Programs/first.exe", v));
    v.product = "Second";
    Shortcut("StartMenu/b/second.lnk", Program("Programs/second.exe", v));
    v.product = "On Desktop";
    Shortcut("Desktop/desk.lnk", Program("Programs/desk.exe", v));
    list_.AddOrMerge(*wltest::Program("From Before", Win(root_.File("Programs/first.exe")) + "x", "1.0"), false,
                     false);
    // The stop comes while the Start Menu is walked: after the first shortcut.
    system_.onResolve = [this](const std::string&) { list_.SetStop(); };

    LogCapture log;
    EXPECT_FALSE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(SearchedFolders(log), (std::vector<std::string>{"StartMenu"}));
    EXPECT_EQ(list_.GetCount(), 2u);  // the earlier item and the one shortcut resolved
    ASSERT_NE(Named("From Before"), nullptr);
    EXPECT_EQ(Named("From Before")->removed, item_state::kGone);  // presence check ran all the same

    // A stop reported by the product scan: no folder is searched.
    list_.ResetStop();
    system_.onResolve = nullptr;
    products_.stopProducts = true;
    LogCapture second;
    EXPECT_FALSE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_TRUE(SearchedFolders(second).empty());
    EXPECT_EQ(list_.GetCount(), 2u);
}

TEST_F(Discovery, AProductScanThatFailsPartWayRemovesNothing) {
    producttest::FakeUninstallKeys keys;
    producttest::FakeInstaller installer;
    const RegScan::ProductSources sources{&keys, &installer};
    products_.sources = &sources;
    constexpr char kSuite[] = "{6F1A0000-0000-0000-0000-000000000001}";
    installer.AddProduct(kSuite, {{"ProductName", "Suite"}, {"VersionString", "2.0"}});
    keys.Add(RegScan::UninstallRoot::Machine64, "Tool", producttest::Entry("Tool", "untool.exe", "1.5"));
    ProgramVersion v;
    v.product = "Linked";
    Shortcut("StartMenu/linked.lnk", Program("Programs/linked.exe", v));
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    ASSERT_EQ(list_.GetCount(), 3u);

    // The next pass: the installer fails at once, and nothing the pass did
    // not reach is taken for uninstalled.
    installer.onProduct = [](const std::string&) { throw std::runtime_error("installer failed"); };
    LogCapture log;
    EXPECT_FALSE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_MsiProducts::Fill"));
    EXPECT_TRUE(SearchedFolders(log).empty()) << "a failed source ends the source list as a stop does";
    ASSERT_EQ(list_.GetCount(), 3u);
    for (const VN_WatchItem* item : list_.WatchItems()) EXPECT_EQ(item->removed, item_state::kPresent) << item->progName;
}

TEST_F(Discovery, OpenApplicationsNeedAVisibleWindowAndAProgramFile) {
    ProgramVersion v;
    v.product = "Shown";
    const std::string shown = Program("Programs/shown.exe", v);
    v.product = "Hidden";
    const std::string hidden = Program("Programs/hidden.exe", v);
    v.product = "Screen Saver";
    const std::string saver = Program("Programs/saver.scr", v);
    system_.processes = {{1, shown, true}, {2, hidden, false}, {3, saver, true}, {4, "", true}, {5, shown, true}};
    LogCapture log;
    EXPECT_FALSE(discovery_.SearchOpenApplication());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Shown"}));
    EXPECT_TRUE(log.Contains("Start SearchOpenApplication"));
    EXPECT_TRUE(log.Contains("  End SearchOpenApplication"));
}

// ------------------------------------------------ version refresh and manual add

TEST_F(Discovery, VersionRefreshReadsEachProgramAgain) {
    ProgramVersion v;
    v.product = "Editor";
    const std::string exe = Program("Programs/editor.exe", v);
    ASSERT_EQ(discovery_.AddUserApplication(exe), scanners::kItemFilled);
    list_.AddOrMerge(*wltest::Program("Gone", Win(root_.File("Programs/gone.exe")), "7.0"), false, false);
    list_.AddOrMerge(*wltest::UninstallEntry("Registry", "Key", "C:\\un.exe"), false, false);
    VN_WatchItem* editor = list_.WatchItems()[0];
    editor->myVersion = "0.9";  // what the service echoed last time

    v.productVersion = "2.0 beta";
    Program("Programs/editor.exe", v);
    EXPECT_FALSE(discovery_.RefreshInstalledVersions());
    EXPECT_EQ(editor->installedVers, "2.0 beta");
    EXPECT_EQ(Named("Gone")->installedVers, "7.0");
    EXPECT_EQ(Named("Registry")->installedVers, "1.0");

    v.productVersion = "3.0";
    Program("Programs/editor.exe", v);
    list_.SetStop();
    EXPECT_TRUE(discovery_.RefreshInstalledVersions());
    EXPECT_EQ(editor->installedVers, "2.0 beta");

    // A failure part way is logged and ends the refresh without reaching the
    // caller; what was read before it stays, and the check is not stopped.
    list_.ResetStop();
    list_.AddOrMerge(*wltest::Program("Linked", Shortcut("StartMenu/linked.lnk", exe), "1.0"), false, false);
    system_.onResolve = [](const std::string&) { throw std::runtime_error("shell failed"); };
    LogCapture log;
    EXPECT_FALSE(discovery_.RefreshInstalledVersions());
    EXPECT_EQ(editor->installedVers, "3.0");
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_WatchList::RefreshInstalledVersions"));
}

TEST_F(Discovery, ManualAddReportsWhatItRefuses) {
    std::vector<std::string> reported;
    class Recorder final : public platform::IEventLog {
    public:
        explicit Recorder(std::vector<std::string>& out) : out_(out) {}
        bool Report(platform::EventKind, const std::string& text) override {
            out_.push_back(text);
            return true;
        }

    private:
        std::vector<std::string>& out_;
    };
    const testing_support::ScopedHook<platform::InstallEventLog> eventLog(std::make_unique<Recorder>(reported));
    TempDir data;
    VN_WatchList saved(Win(data.Path()));
    VN_ProgramDiscovery discovery(saved, system_, products_);

    WriteFile(root_.File("docs/readme.txt"), "text");
    EXPECT_EQ(discovery.AddUserApplication(Win(root_.File("docs/readme.txt"))), scanners::kItemNotProgram);
    WriteFile(root_.File("Programs/plain.exe"), "MZ");
    EXPECT_EQ(discovery.AddUserApplication(Win(root_.File("Programs/plain.exe"))), scanners::kItemNoVersionInfo);
    // A failure inside the add is logged and reported, and leaves nothing
    // half added; no exception reaches the window that asked.
    system_.onResolve = [](const std::string&) { throw 7; };
    LogCapture log;
    EXPECT_EQ(discovery.AddUserApplication(Shortcut("StartMenu/tool.lnk", Win(root_.File("Programs/plain.exe")))),
              scanners::kItemFailed);
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_WatchList::AddUserApplication in catch all block."));
    system_.onResolve = nullptr;
    EXPECT_EQ(reported,
              (std::vector<std::string>{platform::LoadText(324), platform::LoadText(323), platform::LoadText(323)}));
    EXPECT_EQ(saved.GetCount(), 0u);

    // The user's own program is added even when the exclusion list names it.
    ProgramVersion v;
    v.product = "Excluded Tool";
    const std::string tool = Program("Programs/tool.exe", v);
    Exclude("<item product=\"Excluded Tool\"/>");
    saved.SetServiceFileFolders(Win(root_.Path()), "");
    saved.LoadExclusions();
    EXPECT_EQ(discovery.AddUserApplication(tool), scanners::kItemFilled);
    ASSERT_EQ(saved.GetCount(), 1u);
    EXPECT_TRUE(saved.WatchItems()[0]->userAdded);
    EXPECT_TRUE(std::filesystem::exists(data.File("varnel.db")));
}
