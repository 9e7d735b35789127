#include "viewmodel/task_counters.h"

#include <gtest/gtest.h>

#include "inventory/driver_item.h"
#include "inventory/list_base.h"
#include "inventory/watch_item.h"

namespace {

TEST(TaskCounters, CountPresentItemsAndTheUpdatesNotSkipped) {
    VN_ListBase list;
    const auto add = [&list](bool update, bool skipped, int32_t removed) {
        auto item = std::make_unique<VN_WatchItem>();
        item->updateAvailable = update;
        item->skipped = skipped;
        item->removed = removed;
        list.AddTail(std::move(item));
    };
    EXPECT_EQ(viewmodel::CountItems(list), (viewmodel::ListCounters{0, 0}));
    add(true, false, item_state::kPresent);
    add(true, true, item_state::kPresent);  // skipped: not out of date
    add(false, false, item_state::kPresent);
    add(true, false, item_state::kRemovedByUser);
    add(true, false, item_state::kGone);
    EXPECT_EQ(viewmodel::CountItems(list), (viewmodel::ListCounters{3, 1}));
    EXPECT_EQ(viewmodel::CountersText({3, 1}), "3 items, 1 out of date");
    EXPECT_EQ(viewmodel::CountersText({1, 0}), "1 item, 0 out of date");

    VN_ListBase drivers;
    auto driver = std::make_unique<VN_DriverItem>();
    driver->updateAvailable = true;
    drivers.AddTail(std::move(driver));
    EXPECT_EQ(viewmodel::CountItems(drivers), (viewmodel::ListCounters{1, 1}));
}

}  // namespace
