// The current time and the machine's time-zone state, as the timestamp text
// needs them. The state mirrors what Windows reports: the zone's bias in
// minutes (UTC = local time + bias), the extra bias of standard and of
// daylight time, and which of the two is in force now.
#pragma once

#include <cstdint>

namespace platform {

enum class TimeZoneMode {
    Standard,     // standard time is in force
    Daylight,     // daylight-saving time is in force
    Unknown,      // the zone has no daylight-saving rule
    QueryFailed,  // the state could not be read
};

struct TimeZoneState {
    int32_t bias = 0;
    int32_t standardBias = 0;
    int32_t daylightBias = 0;
    TimeZoneMode mode = TimeZoneMode::QueryFailed;
};

// Seconds since 1970-01-01 00:00 UTC.
int64_t CurrentTime();

// Windows: GetTimeZoneInformation. Host: derived from the C library's local
// time (TZ): `bias` is the zone's standard offset, `standardBias` 0, and
// `daylightBias` the difference daylight time makes (-60 for the usual one
// hour); a zone that never observes daylight time is Unknown.
TimeZoneState CurrentTimeZone();

}  // namespace platform
