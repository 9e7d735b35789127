// The scan-time texts through the system's date and time formats: the time
// of day is forced to 24 hours with seconds and no AM/PM marker, whatever the
// locale's own time format says.
#include <gtest/gtest.h>

#include "inventory/scan_time.h"
#include "inventory/watch_list.h"
#include "platform/win/win.h"

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

// The user's own short date format is used: a user with day-first formats
// on a US English system sees day-first dates. (Wine lets the user's choice
// reach the system's locale too when both are the same language, so this
// cannot tell the two locales apart; it proves the user's format is shown.)
TEST(ScanTimeWin, TheShortDateIsTheUsersFormat) {
    char old[80] = {};
    ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, old, sizeof old), 0);
    ASSERT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, "dd/MM/yyyy"));
    const auto utc = inventory::UtcCalendarTime(1710446409);  // 2024-03-14 20:00:09 UTC
    const std::string date = utc ? inventory::FormatShortDate(*utc) : std::string();
    SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, old);
    EXPECT_EQ(date, "14/03/2024");
}
