#include "platform/timestamp.h"

#include <gtest/gtest.h>

#include <time.h>

#include <random>

using platform::TimeZoneMode;
using platform::TimeZoneState;
using vnxml::TimestampText;

namespace {

constexpr int64_t kT = 1700000000;  // 2023-11-14T22:13:20Z

TimeZoneState Zone(int32_t bias, TimeZoneMode mode, int32_t standardBias = 0, int32_t daylightBias = -60) {
    return TimeZoneState{bias, standardBias, daylightBias, mode};
}

}  // namespace

TEST(Timestamp, OffsetFollowsTheZoneBias) {
    // Five hours west in standard time.
    EXPECT_EQ(TimestampText(kT, Zone(300, TimeZoneMode::Standard)), "2023-11-14T17:13:20-0500");
    // One hour thirty east, a zone without daylight time.
    EXPECT_EQ(TimestampText(kT, Zone(-90, TimeZoneMode::Unknown, 0, 0)), "2023-11-14T23:43:20+0130");
    // Five hours forty-five east.
    EXPECT_EQ(TimestampText(kT, Zone(-345, TimeZoneMode::Unknown)), "2023-11-15T03:58:20+0545");
}

TEST(Timestamp, StandardAndDaylightBiasApplyOnlyInTheirState) {
    EXPECT_EQ(TimestampText(kT, Zone(300, TimeZoneMode::Daylight)), "2023-11-14T18:13:20-0400");
    EXPECT_EQ(TimestampText(kT, Zone(300, TimeZoneMode::Standard, 30, -60)), "2023-11-14T16:43:20-0530");
    // Any other state takes the zone bias alone.
    EXPECT_EQ(TimestampText(kT, Zone(300, TimeZoneMode::Unknown, 30, -60)), "2023-11-14T17:13:20-0500");
    // Central Europe in summer: bias -60, daylight bias -60.
    EXPECT_EQ(TimestampText(kT, Zone(-60, TimeZoneMode::Daylight)), "2023-11-15T00:13:20+0200");
}

TEST(Timestamp, ZeroBiasOrFailedQueryGivesUtc) {
    EXPECT_EQ(TimestampText(kT, Zone(0, TimeZoneMode::Unknown)), "2023-11-14T22:13:20+0000");
    EXPECT_EQ(TimestampText(kT, Zone(300, TimeZoneMode::QueryFailed)), "2023-11-14T22:13:20+0000");
    // London in summer: bias 0 but daylight time makes it -60.
    EXPECT_EQ(TimestampText(kT, Zone(0, TimeZoneMode::Daylight)), "2023-11-14T23:13:20+0100");
    // A daylight bias that cancels the zone bias is UTC too.
    EXPECT_EQ(TimestampText(kT, Zone(60, TimeZoneMode::Daylight)), "2023-11-14T22:13:20+0000");
}

TEST(Timestamp, CalendarAgreesWithTheCLibrary) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int64_t> any(-62135596800, 253402300799);  // years 1..9999
    for (int i = 0; i < 5000; ++i) {
        const int64_t t = i < 8 ? int64_t{951782400} + (i - 4) * 43200 : any(rng);  // around 2000-02-29
        const time_t tt = static_cast<time_t>(t);
        struct tm utc {};
        ASSERT_NE(gmtime_r(&tt, &utc), nullptr);
        char want[64];
        strftime(want, sizeof want, "%Y-%m-%dT%H:%M:%S+0000", &utc);
        if (utc.tm_year + 1900 < 1000) continue;  // strftime does not pad short years
        ASSERT_EQ(TimestampText(t, Zone(0, TimeZoneMode::Unknown)), want) << t;
    }
    EXPECT_EQ(TimestampText(-1, Zone(0, TimeZoneMode::Unknown)), "1969-12-31T23:59:59+0000");
    EXPECT_EQ(TimestampText(1704074400, Zone(300, TimeZoneMode::Standard)), "2023-12-31T21:00:00-0500");
}

TEST(Timestamp, OutOfRangeTimesStayWithinFourDigitYears) {
    EXPECT_EQ(TimestampText(INT64_MAX, Zone(0, TimeZoneMode::Unknown)), "9999-12-31T23:59:59+0000");
    EXPECT_EQ(TimestampText(INT64_MIN, Zone(0, TimeZoneMode::Unknown)), "0001-01-01T00:00:00+0000");
    EXPECT_EQ(TimestampText(INT64_MIN, Zone(-90, TimeZoneMode::Unknown)), "0001-01-01T01:30:00+0130");
}

TEST(Timestamp, UtcDateTextIsTheDateOfTheUtcTimestamp) {
    EXPECT_EQ(vnxml::UtcDateText(kT), "2023-11-14");
    EXPECT_EQ(vnxml::UtcDateText(INT64_MAX), "9999-12-31");
}
