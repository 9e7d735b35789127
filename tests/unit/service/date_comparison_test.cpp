// Reading the exclusion lists' dates and deciding which list is newer.
#include <gtest/gtest.h>

#include "service/exclusion_update.h"

using vnxml::IsNewerExclusionList;
using vnxml::ParseUserDate;
using vnxml::WholeDayDifference;

TEST(UserDate, ReadsIsoAndUnitedStatesDatesAsAutomationDates) {
    EXPECT_EQ(ParseUserDate("1899-12-30"), 0.0);
    EXPECT_EQ(ParseUserDate("1900-01-01"), 2.0);
    EXPECT_EQ(ParseUserDate("2024-06-01"), 45444.0);
    EXPECT_EQ(ParseUserDate("6/1/2024"), 45444.0);
    EXPECT_EQ(ParseUserDate(" 06/01/2024 "), 45444.0);
    EXPECT_EQ(ParseUserDate("2024-02-29"), 45351.0);
    EXPECT_EQ(ParseUserDate("2024-06-01 18:00"), 45444.75);
    EXPECT_EQ(ParseUserDate("2024-06-01T06:00:00"), 45444.25);
    EXPECT_EQ(ParseUserDate("6/1/2024 12:00:00"), 45444.5);
    EXPECT_EQ(ParseUserDate("1899-12-29 06:00"), -1.25);

    for (const char* bad : {"", "someday", "2024-13-01", "2023-02-29", "2024-06-31", "2024-6", "20240601",
                            "2024-06-01x", "6/1/2024T10:00", "2024-06-01 25:00", "99-01-01", "2024/06/01"})
        EXPECT_FALSE(ParseUserDate(bad)) << bad;
}

TEST(UserDate, DaysAreCountedAfterRoundingEachDateUp) {
    EXPECT_EQ(WholeDayDifference(45444, 45444), 0);
    EXPECT_EQ(WholeDayDifference(45445, 45444), 1);
    EXPECT_EQ(WholeDayDifference(45444, 45445), -1);
    // Any time of day counts as the whole next day.
    EXPECT_EQ(WholeDayDifference(45444.1, 45444), 1);
    EXPECT_EQ(WholeDayDifference(45444.9, 45444.1), 0);
    // Before the epoch the time still runs forwards: -1.25 is -0.75 days.
    EXPECT_EQ(WholeDayDifference(0, -1.25), 0);
    EXPECT_EQ(WholeDayDifference(0, -2.5), 1);
}

TEST(UserDate, AListReplacesAnOlderOrUnknownOneUnlessItsOwnDateIsUnreadable) {
    EXPECT_TRUE(IsNewerExclusionList("2024-06-02", "2024-06-01", false));
    EXPECT_FALSE(IsNewerExclusionList("2024-06-01", "2024-06-01", false));
    EXPECT_FALSE(IsNewerExclusionList("2024-05-31", "2024-06-01", false));
    EXPECT_TRUE(IsNewerExclusionList("2024-06-01 08:00", "2024-06-01", false));
    EXPECT_TRUE(IsNewerExclusionList("6/2/2024", "2024-06-01", false));
    // Forced, or with no readable stored date, the zero date is compared.
    EXPECT_TRUE(IsNewerExclusionList("2024-06-01", "2024-06-01", true));
    EXPECT_TRUE(IsNewerExclusionList("2024-06-01", "", false));
    EXPECT_TRUE(IsNewerExclusionList("2024-06-01", "garbled", false));
    EXPECT_FALSE(IsNewerExclusionList("1899-12-30", "", false));
    // Nothing is known about a list whose date cannot be read.
    EXPECT_FALSE(IsNewerExclusionList("garbled", "", true));
    EXPECT_FALSE(IsNewerExclusionList("", "", true));
}
