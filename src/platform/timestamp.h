// The timestamp text carried by every document that holds a time:
// "%Y-%m-%dT%H:%M:%S" followed by the zone offset, for example
// "2024-03-05T14:07:09-0500". A machine on UTC (bias 0), or one whose zone
// could not be read, gets the UTC time and "+0000".
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace vnxml {

// Minutes to add to local time to get UTC: the zone bias plus the standard
// bias in standard time, plus the daylight bias in daylight time, the zone
// bias alone otherwise.
int32_t EffectiveBias(const platform::TimeZoneState& zone);

// The text for `time` (seconds since 1970 UTC) in the given zone state.
std::string TimestampText(int64_t time, const platform::TimeZoneState& zone);

// The text for `time`, or for now when it is 0, in the machine's zone.
std::string TimestampText(int64_t time = 0);

// "YYYY-MM-DD" of `time` (seconds since 1970 UTC), in UTC.
std::string UtcDateText(int64_t time);

}  // namespace vnxml
