#include "viewmodel/list_rows.h"

#include <gtest/gtest.h>

#include "common/scoped_tz.h"
#include "dlmgr/history_item.h"
#include "inventory/daily_item.h"
#include "inventory/driver_item.h"
#include "inventory/list_base.h"
#include "inventory/search_item.h"
#include "inventory/watch_item.h"
#include "platform/setting_names.h"

namespace {

using testing_support::ScopedTz;
using viewmodel::ViewKind;

VN_WatchItem* AddProgram(VN_ListBase& list, const std::string& name, const std::string& mine,
                         const std::string& current) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName(name);
    item->myVersion = mine;
    item->SetCurrentVers(current);
    item->groupCurrentCount = current.empty() ? 0 : 1;
    return static_cast<VN_WatchItem*>(list.AddTail(std::move(item)));
}

std::vector<std::string> Names(ViewKind kind, const std::vector<VN_ItemGrandBase*>& rows) {
    std::vector<std::string> names;
    for (VN_ItemGrandBase* row : rows) names.push_back(viewmodel::RowTexts(kind, *row)[kind == ViewKind::Drivers]);
    return names;
}

TEST(ListRows, ColumnWidthsComeFromTheirSettingsOrTheDefaults) {
    auto store = platform::MakeMemorySettingsStore();
    platform::Settings settings(*store);
    EXPECT_EQ(viewmodel::ReadColumnWidths(settings, ViewKind::Software), (std::vector<int>{300, 200, 200}));
    EXPECT_EQ(viewmodel::ReadColumnWidths(settings, ViewKind::Drivers), (std::vector<int>{90, 300, 100, 100}));
    settings.WriteNumber("Software View Column Width 0", 420);
    settings.WriteNumber("Software View Column Width 2", 0);  // unusable: the default stays
    EXPECT_EQ(viewmodel::ReadColumnWidths(settings, ViewKind::Software), (std::vector<int>{420, 200, 200}));
    viewmodel::StoreColumnWidths(settings, ViewKind::Search, {251, 121, 101, 121, 101, 101});
    EXPECT_EQ(settings.ReadNumber("Search View Column Width 5", 0), 101u);
    EXPECT_TRUE(viewmodel::Definition(ViewKind::Drivers).columns[2].centred);
}

TEST(ListRows, StoredSortOrdersOutOfRangeFallBack) {
    auto store = platform::MakeMemorySettingsStore();
    platform::Settings settings(*store);
    EXPECT_EQ(viewmodel::ReadSortOrder(settings, ViewKind::Software), 1);
    settings.WriteNumber(setting::kLastSortOrder, 9);
    EXPECT_EQ(viewmodel::ReadSortOrder(settings, ViewKind::Software), 1);
    settings.WriteNumber(setting::kLastSortOrder, 7);
    EXPECT_EQ(viewmodel::ReadSortOrder(settings, ViewKind::Software), 7);
    settings.WriteNumber(setting::kDriverLastSortOrder, 8);  // four columns: 0-7
    EXPECT_EQ(viewmodel::ReadSortOrder(settings, ViewKind::Drivers), 1);
    EXPECT_EQ(viewmodel::ReadSortOrder(settings, ViewKind::Daily), 0);
    // A click on the sorted column flips it; another column starts ascending.
    EXPECT_EQ(viewmodel::SortOrderForColumnClick(ViewKind::Software, 1, 0), 0);
    EXPECT_EQ(viewmodel::SortOrderForColumnClick(ViewKind::Software, 0, 0), 1);
    EXPECT_EQ(viewmodel::SortOrderForColumnClick(ViewKind::Software, 1, 2), 5);
}

TEST(ListRows, RowsSortNaturallyAndByUpdateState) {
    VN_ListBase list;
    AddProgram(list, "zeta 2", "2.9", "2.10")->outdated = true;
    VN_WatchItem* skipped = AddProgram(list, "Alpha", "1.0", "1.1");
    skipped->outdated = skipped->skipped = true;  // a skipped update does not count
    EXPECT_FALSE(viewmodel::RowHasUpdate(*skipped));
    AddProgram(list, "zeta 10", "3.0", "3.0");
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, false, 1)),
              (std::vector<std::string>{"Alpha", "zeta 2", "zeta 10"}));
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, false, 0)),
              (std::vector<std::string>{"zeta 10", "zeta 2", "Alpha"}));
    // By "My Version", ascending: 2.9 before 3.0, 1.0 first.
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, false, 3)),
              (std::vector<std::string>{"Alpha", "zeta 2", "zeta 10"}));
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, false, 7)),
              (std::vector<std::string>{"zeta 2", "Alpha", "zeta 10"}));
}

TEST(ListRows, UntrackedAndRemovedItemsAreFiltered) {
    VN_ListBase list;
    AddProgram(list, "Known", "1", "1");
    AddProgram(list, "Unknown", "1", "");
    AddProgram(list, "Removed", "1", "1")->removed = item_state::kRemovedByUser;
    list.AddTail(std::make_unique<dlmgr::CHistoryItem>());  // not the view's kind
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, false, 1)),
              (std::vector<std::string>{"Known"}));
    // In untracked mode the flat list shows every present item, not only
    // the expanded ones a tree would show.
    EXPECT_EQ(Names(ViewKind::Software, viewmodel::BuildRows(ViewKind::Software, list, true, 1)),
              (std::vector<std::string>{"Known", "Unknown"}));

    auto store = platform::MakeMemorySettingsStore();
    platform::Settings settings(*store);
    settings.WriteFlag(setting::kViewUntrackedDriverItems, true);
    EXPECT_TRUE(viewmodel::ReadShowUntracked(settings, ViewKind::Drivers));
    EXPECT_FALSE(viewmodel::ReadShowUntracked(settings, ViewKind::Software));
}

TEST(ListRows, RowTextsOfDriversAndDownloadsAndTheFindTargetLine) {
    VN_DriverItem driver;
    driver.deviceClass = "Net";
    driver.driverDesc = "Fast Ethernet";
    driver.SetCurrentVers("5.1");
    driver.outdated = true;
    EXPECT_EQ(viewmodel::RowTexts(ViewKind::Drivers, driver),
              (std::vector<std::string>{"Net", "Fast Ethernet", "X", ""}));
    EXPECT_EQ(viewmodel::FindTargetCommand("C:\\Program Files\\Zip Tool\\zt.exe"),
              "explorer /select, \"C:\\Program Files\\Zip Tool\\zt.exe\"");
    dlmgr::CHistoryItem download;
    download.State = dlmgr::kStateCompleted;
    download.Name = "Tool";
    download.Started = 1700000000;  // 2023-11-14 22:13:20 UTC
    download.Destination = "C:\\Downloads\\tool.exe";
    {
        ScopedTz zone("UTC+5");  // five hours behind UTC: still the 14th
        EXPECT_EQ(viewmodel::RowTexts(ViewKind::History, download),
                  (std::vector<std::string>{"Completed", "Tool", "2023-11-14", "C:\\Downloads\\tool.exe"}));
    }
    // The date is the one where the user is: thirteen hours ahead, the 15th.
    ScopedTz zone("UTC-13");
    EXPECT_EQ(viewmodel::RowTexts(ViewKind::History, download)[2], "2023-11-15");
}

TEST(ListRows, ListActionsFollowTheSelectedItem) {
    using viewmodel::ListActionState;
    VN_WatchItem item;
    item.outdated = true;
    item.targetName = "C:\\Tools\\t.exe";
    EXPECT_FALSE(ListActionState(ViewKind::Software, viewmodel::kSkipVersion, nullptr, false).enabled);
    EXPECT_TRUE(ListActionState(ViewKind::Software, viewmodel::kSkipVersion, &item, false).enabled);
    EXPECT_FALSE(ListActionState(ViewKind::Software, viewmodel::kReadMore, &item, false).enabled) << "no page";
    EXPECT_TRUE(ListActionState(ViewKind::Software, viewmodel::kFindTarget, &item, false).enabled);
    EXPECT_TRUE(ListActionState(ViewKind::Drivers, viewmodel::kUntrackedItems, nullptr, true).checked);
    EXPECT_FALSE(ListActionState(ViewKind::Daily, viewmodel::kUntrackedItems, nullptr, true).enabled);
    EXPECT_FALSE(ListActionState(ViewKind::Software, viewmodel::kUninstall, &item, false).enabled);

    EXPECT_TRUE(viewmodel::ApplyItemAction(viewmodel::kSkipVersion, item));
    EXPECT_TRUE(item.skipped);
    EXPECT_FALSE(ListActionState(ViewKind::Software, viewmodel::kSkipVersion, &item, false).enabled);
    EXPECT_TRUE(ListActionState(ViewKind::Software, viewmodel::kUnskipVersion, &item, false).enabled);
    EXPECT_FALSE(viewmodel::ApplyItemAction(viewmodel::kSkipVersion, item)) << "nothing changed";
    EXPECT_TRUE(viewmodel::ApplyItemAction(viewmodel::kRemoveFromWatchList, item));
    EXPECT_EQ(item.removed, item_state::kRemovedByUser);
}

TEST(ListRows, PropertiesAddUninstallAndResetHaveTheirOwnConditions) {
    using viewmodel::ListActionState;
    VN_WatchItem item;
    item.SetProgName("Zip Tool");
    item.uninstallString = "  \"C:\\Zip Tool\\unins.exe\" /S ";
    viewmodel::ActionContext context;
    context.listHoldsItems = true;
    auto enabled = [&](ViewKind kind, int action) { return ListActionState(kind, action, context).enabled; };

    // Nothing selected: no properties, no uninstall; a program file can still be added.
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kProperties));
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kUninstall));
    EXPECT_EQ(viewmodel::AddToWatchListMode(ViewKind::Software, nullptr), viewmodel::AddMode::PickFile);
    EXPECT_TRUE(enabled(ViewKind::Software, viewmodel::kAddToWatchList));
    EXPECT_FALSE(enabled(ViewKind::Search, viewmodel::kAddToWatchList)) << "no catalogue add yet";

    context.selected = &item;
    EXPECT_TRUE(enabled(ViewKind::Software, viewmodel::kProperties));
    EXPECT_TRUE(enabled(ViewKind::Software, viewmodel::kUninstall));
    EXPECT_EQ(viewmodel::UninstallCommand(item), "\"C:\\Zip Tool\\unins.exe\" /S");
    EXPECT_EQ(viewmodel::AddToWatchListMode(ViewKind::Software, &item), viewmodel::AddMode::SelectedItem);
    item.userAdded = true;
    EXPECT_EQ(viewmodel::AddToWatchListMode(ViewKind::Software, &item), viewmodel::AddMode::PickFile);

    // One uninstaller at a time, and only where there is a command.
    context.uninstallRunning = true;
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kUninstall));
    context.uninstallRunning = false;
    EXPECT_FALSE(enabled(ViewKind::Drivers, viewmodel::kUninstall));
    item.uninstallString = "   ";
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kUninstall));

    // The reset deletes items: a list with items, and no scan using them.
    EXPECT_TRUE(enabled(ViewKind::Software, viewmodel::kReset));
    context.workerRunning = true;
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kReset));
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kReportItem)) << "the report is written into the item";
    context.workerRunning = false;
    EXPECT_TRUE(enabled(ViewKind::Software, viewmodel::kReportItem));
    context.listHoldsItems = false;
    EXPECT_FALSE(enabled(ViewKind::Software, viewmodel::kReset));
}

TEST(ListRows, PropertiesSayWhatIsKnownAndLeaveOutTheRest) {
    VN_WatchItem item;
    item.SetProgName("Zip Tool");
    item.installedVers = "1.0";
    item.SetCurrentVers("2.0");
    item.outdated = true;
    item.targetName = "C:\\Tools\\zt.exe";
    EXPECT_EQ(viewmodel::ItemPropertiesText(ViewKind::Software, item),
              "Name:\tZip Tool\r\nMy Version:\t1.0\r\nCurrent Version:\t2.0\r\nStatus:\tUpdate available\r\n"
              "Program:\tC:\\Tools\\zt.exe\r\nAdded by:\tthe scan\r\n");
    VN_DriverItem driver;
    driver.deviceClass = "Net";
    driver.driverDesc = "Network Adapter";
    driver.driverVersion = "10.1";
    const auto lines = viewmodel::ItemProperties(ViewKind::Drivers, driver);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"Class", "Net"}));
    EXPECT_EQ(lines[1].second, "Network Adapter");
    EXPECT_EQ(lines[2], (std::pair<std::string, std::string>{"Status", "Not known to the update service"}));
    EXPECT_EQ(lines[3], (std::pair<std::string, std::string>{"Driver version", "10.1"}));

    // Search results and today's updates end with what their catalogue entry says.
    auto found = std::make_unique<vnxml::CXMLSearchItem>();
    found->name = "Zip Tool";
    found->category = "Archivers";
    found->shortDescription = "Packs files";
    const VN_SearchItem search(std::move(found));
    const auto searchLines = viewmodel::ItemProperties(ViewKind::Search, search);
    ASSERT_GE(searchLines.size(), 2u);
    EXPECT_EQ(searchLines.end()[-2], (std::pair<std::string, std::string>{"Category", "Archivers"}));
    EXPECT_EQ(searchLines.back(), (std::pair<std::string, std::string>{"About", "Packs files"}));
    auto update = std::make_unique<vnxml::CXMLDailyItem>();
    update->name = "Zip Tool";
    update->osCompatibility = "Windows 7";
    const VN_DailyItem daily(std::move(update));
    EXPECT_EQ(viewmodel::ItemProperties(ViewKind::Daily, daily).back(),
              (std::pair<std::string, std::string>{"Platform", "Windows 7"}));
    const VN_DailyItem withoutEntry;
    EXPECT_TRUE(viewmodel::ItemProperties(ViewKind::Daily, withoutEntry).empty());
}

TEST(ListRows, UninstallGoesBeforeAReportEntryNearTheTop) {
    EXPECT_EQ(viewmodel::UninstallInsertPosition(11, -1), 11);
    EXPECT_EQ(viewmodel::UninstallInsertPosition(0, -1), 0);
    EXPECT_EQ(viewmodel::UninstallInsertPosition(19, -1), 19);
    EXPECT_EQ(viewmodel::UninstallInsertPosition(20, -1), -1) << "only below position 20";
    EXPECT_EQ(viewmodel::UninstallInsertPosition(-1, -1), -1) << "no report entry";
    EXPECT_EQ(viewmodel::UninstallInsertPosition(5, 3), -1) << "the menu holds one already";
}

TEST(ListRows, EmptyListTextsTellResetFromUntracked) {
    EXPECT_EQ(viewmodel::EmptyListText(ViewKind::Software, false),
              "Watch List may have been reset, or you may have upgraded Varnel. Click the \x91"
              "Check Updates\x92 button.");
    EXPECT_EQ(viewmodel::EmptyListText(ViewKind::Software, true),
              "No trackable items were found. Go to the View Menu and select untracked items to view all software, "
              "suites and components.");
    EXPECT_EQ(viewmodel::EmptyListText(ViewKind::Drivers, true),
              "No trackable items were found.  Go to the View Menu and select untracked items to view all drivers.");
    EXPECT_EQ(viewmodel::EmptyListText(ViewKind::Drivers, false),
              "Drivers List may have been reset. Click the \x91"
              "Check Updates\x92 button.");
    EXPECT_EQ(viewmodel::EmptyListText(ViewKind::Daily, false),
              "Download the latest new software list by checking for updates.");
}

}  // namespace
