#include "platform/timestamp.h"

#include <cinttypes>

#include "platform/text.h"

namespace vnxml {

namespace {

// Times are kept within years 1..9999 so that the arithmetic below never
// overflows and the year always has four digits.
constexpr int64_t kMinTime = -62135596800;  // 0001-01-01T00:00:00
constexpr int64_t kMaxTime = 253402300799;  // 9999-12-31T23:59:59

// "%Y-%m-%dT%H:%M:%S" of a UTC time (proleptic Gregorian calendar).
std::string FormatUtc(int64_t t) {
    int64_t days = t / 86400;
    int64_t secs = t % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return textutil::Format("%04" PRId64 "-%02" PRId64 "-%02" PRId64 "T%02" PRId64 ":%02" PRId64 ":%02" PRId64,
                            year, month, day, secs / 3600, secs / 60 % 60, secs % 60);
}

// `time` within the years that FormatUtc can write.
int64_t Clamped(int64_t time) { return time < kMinTime ? kMinTime : time > kMaxTime ? kMaxTime : time; }

}  // namespace

int32_t EffectiveBias(const platform::TimeZoneState& zone) {
    switch (zone.mode) {
    case platform::TimeZoneMode::Standard: return zone.bias + zone.standardBias;
    case platform::TimeZoneMode::Daylight: return zone.bias + zone.daylightBias;
    default: return zone.bias;
    }
}

std::string TimestampText(int64_t time, const platform::TimeZoneState& zone) {
    time = Clamped(time);
    const int32_t bias = EffectiveBias(zone);
    if (bias == 0 || zone.mode == platform::TimeZoneMode::QueryFailed) return FormatUtc(time) + "+0000";
    const std::string local = FormatUtc(time - static_cast<int64_t>(bias) * 60);
    const uint32_t magnitude = bias < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(bias)) : static_cast<uint32_t>(bias);
    return local + textutil::Format(bias < 0 ? "+%02u%02u" : "-%02u%02u", magnitude / 60, magnitude % 60);
}

std::string TimestampText(int64_t time) {
    if (time == 0) time = platform::CurrentTime();
    return TimestampText(time, platform::CurrentTimeZone());
}

std::string UtcDateText(int64_t time) { return FormatUtc(Clamped(time)).substr(0, 10); }

}  // namespace vnxml
