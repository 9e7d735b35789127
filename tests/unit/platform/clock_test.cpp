// The host's zone state must describe the same offset the C library applies,
// whatever TZ says.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

#include "common/scoped_tz.h"
#include "platform/timestamp.h"

namespace {

using testing_support::ScopedTz;

int32_t CLibraryBiasNow() {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

}  // namespace

TEST(HostClock, ZoneStateMatchesTheCLibrary) {
    {
        ScopedTz tz("UTC0");
        const platform::TimeZoneState z = platform::CurrentTimeZone();
        EXPECT_EQ(z.mode, platform::TimeZoneMode::Unknown);
        EXPECT_EQ(z.bias, 0);
    }
    {
        ScopedTz tz("<+0130>-1:30");
        const platform::TimeZoneState z = platform::CurrentTimeZone();
        EXPECT_EQ(z.mode, platform::TimeZoneMode::Unknown);
        EXPECT_EQ(z.bias, -90);
        EXPECT_EQ(vnxml::TimestampText(0).substr(19), "+0130");
    }
    {
        ScopedTz tz("EST5EDT,M3.2.0,M11.1.0");
        const platform::TimeZoneState z = platform::CurrentTimeZone();
        EXPECT_EQ(z.bias, 300);
        EXPECT_EQ(z.daylightBias, -60);
        EXPECT_TRUE(z.mode == platform::TimeZoneMode::Standard || z.mode == platform::TimeZoneMode::Daylight);
        EXPECT_EQ(vnxml::EffectiveBias(z), CLibraryBiasNow());
    }
    {
        // Southern hemisphere: daylight time around the turn of the year.
        ScopedTz tz("AEST-10AEDT,M10.1.0,M4.1.0/3");
        const platform::TimeZoneState z = platform::CurrentTimeZone();
        EXPECT_EQ(z.bias, -600);
        EXPECT_EQ(z.daylightBias, -60);
        EXPECT_EQ(vnxml::EffectiveBias(z), CLibraryBiasNow());
    }
}
