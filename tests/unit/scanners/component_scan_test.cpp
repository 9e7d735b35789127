// The component scan over recorded installer data: which components become
// items, what they carry, and stopping.
#include "scanners/component_scan.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "inventory/inventory_test_support.h"
#include "inventory/watch_list.h"
#include "product_fakes.h"

using producttest::FakeComponent;
using producttest::FakeInstaller;
namespace state = RegScan::install_state;

namespace {

constexpr char kProduct[] = "{11111111-2222-3333-4444-555555555555}";
constexpr char kOther[] = "{AAAAAAAA-2222-3333-4444-555555555555}";

class ComponentScan : public ::testing::Test {
protected:
    // Makes items named after the file; a path containing "noversion" has no
    // version information.
    VN_ScanRegistry::ItemFromFile Hook() {
        return [this](const std::string& path, VN_WatchItem& item, bool checks) {
            asked.push_back(path);
            EXPECT_TRUE(checks) << "the component scan asks with its exclusion checks on";
            if (path.find("noversion") != std::string::npos) return 1;
            item.SetProgName(path.substr(path.rfind('\\') + 1));
            item.targetName = path;
            item.executableName = path.substr(path.rfind('\\') + 1);
            item.source = "exe";
            return 0;
        };
    }

    FakeInstaller installer;
    VN_WatchList list;
    std::vector<std::string> asked;
};

TEST_F(ComponentScan, ProgramComponentsBecomeItemsWithTheirSuite) {
    installer.AddComponent({"{C0000001-0000-0000-0000-000000000000}", kProduct, state::kLocal, "C:\\App\\app.exe"});
    installer.AddComponent({"{C0000002-0000-0000-0000-000000000000}", kProduct, state::kLocal, "C:\\App\\TOOL.EXE"});
    installer.AddComponent({"{C0000003-0000-0000-0000-000000000000}", kOther, state::kLocal, "C:\\Other\\o.exe"});

    VN_ScanRegistry scan(list, Hook(), &installer);
    EXPECT_FALSE(scan.Run());

    const std::vector<VN_WatchItem*> items = list.WatchItems();
    ASSERT_EQ(items.size(), 5u) << "three components and two suites";
    const VN_WatchItem* app = items[0];
    EXPECT_EQ(app->progName, "app.exe");
    EXPECT_EQ(app->productGuid, kProduct);
    EXPECT_EQ(app->componentGuid, "{C0000001-0000-0000-0000-000000000000}");
    EXPECT_TRUE(app->comFromReg);
    EXPECT_TRUE(app->IsUntrackableComponent());
    const VN_WatchItem* suite = items[1];
    EXPECT_TRUE(suite->IsSuite());
    EXPECT_EQ(suite->productGuid, kProduct);
    EXPECT_TRUE(suite->progName.empty());
    EXPECT_TRUE(suite->comFromReg) << "added as a registry component";
    EXPECT_EQ(items[2]->progName, "TOOL.EXE");
    EXPECT_EQ(items[4]->productGuid, kOther);
    EXPECT_TRUE(items[4]->IsSuite());
}

TEST_F(ComponentScan, ComponentsWithoutAnInstalledProgramAreSkipped) {
    const std::pair<FakeComponent, const char*> skipped[] = {
        {{"{D1}", std::nullopt, state::kLocal, "C:\\a\\noproduct.exe"}, "no owning product"},
        {{"{D2}", "{00000000-0000-0000-0000-000000000000}", state::kLocal, "C:\\a\\null.exe"}, "null product"},
        {{"{D3}", kProduct, state::kAbsent, "C:\\a\\absent.exe"}, "absent"},
        {{"{D4}", kProduct, state::kBadConfig, "C:\\a\\bad.exe"}, "bad configuration"},
        {{"{D5}", kProduct, state::kInvalidArg, "C:\\a\\invalid.exe"}, "invalid argument"},
        {{"{D6}", kProduct, state::kUnknown, "C:\\a\\unknown.exe"}, "unknown"},
        {{"{D7}", kProduct, state::kMoreData, ""}, "key path longer than the buffer"},
        {{"{D8}", kProduct, state::kLocal, "C:\\a\\library.dll"}, "not a program"},
        {{"{D9}", kProduct, state::kLocal, "02:\\Software\\Vendor\\Key"}, "registry key path"},
        {{"{DA}", kProduct, state::kLocal, "C:\\a.exe\\readme"}, "extension of a folder"},
        {{"{DB}", kProduct, state::kLocal, "C:\\a\\noversion.exe"}, "file without version information"},
    };
    for (const auto& entry : skipped) installer.AddComponent(entry.first);
    installer.AddComponent({"{DC}", kProduct, 4 /* run from source */, "\\\\server\\share\\kept.Exe"});

    VN_ScanRegistry scan(list, Hook(), &installer);
    EXPECT_FALSE(scan.Run());
    EXPECT_EQ(asked, (std::vector<std::string>{"C:\\a\\noversion.exe", "\\\\server\\share\\kept.Exe"}));
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.WatchItems()[0]->componentGuid, "{DC}");
}

TEST_F(ComponentScan, AStopRequestOrAFailureEndsTheScan) {
    installer.AddComponent({"{E1}", kProduct, state::kLocal, "C:\\a\\one.exe"});
    installer.AddComponent({"{E2}", kProduct, state::kLocal, "C:\\a\\two.exe"});
    VN_ScanRegistry scan(
        list,
        [&](const std::string& path, VN_WatchItem& item, bool checks) {
            const int result = Hook()(path, item, checks);
            list.SetStop();
            return result;
        },
        &installer);
    EXPECT_TRUE(scan.Run());
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(list.GetCount(), 2u) << "the component in hand and its suite are still added";

    // A failure part way answers stopped as well: the pass must not take the
    // scan for complete and remove what it never reached.
    list.ResetStop();
    testsupport::LogCapture log;
    VN_ScanRegistry failing(
        list, [](const std::string&, VN_WatchItem&, bool) -> int { throw std::runtime_error("unreadable"); },
        &installer);
    EXPECT_TRUE(failing.Run());
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_ScanRegistry::Run"));
}

}  // namespace
