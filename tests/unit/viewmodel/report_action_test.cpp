#include "viewmodel/report_action.h"

#include <gtest/gtest.h>

#include "dlmgr/history_item.h"
#include "inventory/driver_item.h"
#include "inventory/watch_item.h"

using viewmodel::ViewKind;

TEST(ReportAction, ReportsAProgramOrADriverOfThisComputerOnly) {
    VN_WatchItem program;
    VN_DriverItem driver;
    dlmgr::CHistoryItem download;
    const auto enabled = [](ViewKind kind, const VN_ItemGrandBase* item) {
        return viewmodel::ListActionState(kind, viewmodel::kReportItem, item, false).enabled;
    };
    EXPECT_TRUE(enabled(ViewKind::Software, &program));
    EXPECT_TRUE(enabled(ViewKind::Drivers, &driver));
    EXPECT_FALSE(enabled(ViewKind::Software, nullptr));
    EXPECT_FALSE(enabled(ViewKind::History, &download));
    EXPECT_FALSE(enabled(ViewKind::Search, &program));
    program.removed = item_state::kGone;
    EXPECT_FALSE(enabled(ViewKind::Software, &program));
}
