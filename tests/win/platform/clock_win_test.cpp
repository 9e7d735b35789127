// The zone state read from Windows must give the local time Windows itself
// computes, or timestamps would carry a wrong time or offset.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/win/win.h"
#include "platform/timestamp.h"

TEST(ClockWin, TimestampAgreesWithWindowsLocalTime) {
    const int64_t t = platform::CurrentTime();
    // Seconds since 1970 to a FILETIME (100 ns since 1601).
    const ULONGLONG ticks = static_cast<ULONGLONG>(t + 11644473600LL) * 10000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &utc));
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));

    const platform::TimeZoneState zone = platform::CurrentTimeZone();
    ASSERT_NE(zone.mode, platform::TimeZoneMode::QueryFailed);
    const std::string text = vnxml::TimestampText(t, zone);

    char want[32];
    std::snprintf(want, sizeof want, "%04u-%02u-%02uT%02u:%02u:%02u", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute, local.wSecond);
    EXPECT_EQ(text.substr(0, 19), want);

    // The offset is local minus UTC, in hours and minutes.
    FILETIME localFt{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localFt));
    const LONGLONG diff = static_cast<LONGLONG>((static_cast<ULONGLONG>(localFt.dwHighDateTime) << 32) |
                                                localFt.dwLowDateTime) -
                          static_cast<LONGLONG>(ticks);
    const long minutes = static_cast<long>(diff / 600000000LL);
    const long m = minutes < 0 ? -minutes : minutes;
    char offset[8];
    std::snprintf(offset, sizeof offset, "%c%02ld%02ld", minutes < 0 ? '-' : '+', m / 60, m % 60);
    EXPECT_EQ(text.substr(19), offset);
}
