// The scan-time texts through the system's date and time formats: the time
// of day is forced to 24 hours with seconds and no AM/PM marker, whatever the
// locale's own time format says.
#include <gtest/gtest.h>

#include "inventory/scan_time.h"
#include "inventory/watch_list.h"

TEST(ScanTimeWin, TwentyFourHourTimeWithSecondsAndTheShortDate) {
    const auto utc = inventory::UtcCalendarTime(1710446409);  // 2024-03-14 20:00:09 UTC
    ASSERT_TRUE(utc);
    EXPECT_EQ(inventory::FormatTimeOfDay(*utc), "20:00:09");
    const std::string date = inventory::FormatShortDate(*utc);
    EXPECT_NE(date.find("14"), std::string::npos) << date;
    EXPECT_NE(date.find("3"), std::string::npos) << date;
    EXPECT_EQ(date.find("20:00"), std::string::npos) << date;

    VN_WatchList list;
    list.SetScanTime(1710446409);
    EXPECT_EQ(list.GetScanTimeText(), date + ", 20:00:09 UTC");
    const auto local = inventory::LocalCalendarTime(1710446409);
    ASSERT_TRUE(local);
    EXPECT_EQ(list.GetScanDateText(), inventory::FormatShortDate(*local));
}
