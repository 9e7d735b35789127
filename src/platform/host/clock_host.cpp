// Time and zone on the host, from the C library's view of TZ.
#include <time.h>

#include <initializer_list>

#include "platform/clock.h"

namespace platform {

int64_t CurrentTime() { return static_cast<int64_t>(::time(nullptr)); }

namespace {

// Minutes to add to local time to get UTC at `t`, and whether daylight time is
// in force then.
bool BiasAt(time_t t, int32_t* bias, bool* daylight) {
    struct tm local {};
    if (::localtime_r(&t, &local) == nullptr) return false;
    *bias = static_cast<int32_t>(-local.tm_gmtoff / 60);
    *daylight = local.tm_isdst > 0;
    return true;
}

}  // namespace

TimeZoneState CurrentTimeZone() {
    ::tzset();
    TimeZoneState state;
    const time_t now = ::time(nullptr);
    int32_t nowBias = 0;
    bool nowDaylight = false;
    if (!BiasAt(now, &nowBias, &nowDaylight)) return state;  // QueryFailed

    // The standard and daylight offsets of the zone: look half a year either
    // side for the other season.
    bool hasStandard = !nowDaylight, hasDaylight = nowDaylight;
    int32_t standardBias = nowDaylight ? 0 : nowBias;
    int32_t daylightBias = nowDaylight ? nowBias : 0;
    const time_t halfYear = 183 * 24 * 3600;
    for (time_t t : {now - halfYear, now + halfYear}) {
        int32_t b = 0;
        bool d = false;
        if (!BiasAt(t, &b, &d)) continue;
        if (d && !hasDaylight) { hasDaylight = true; daylightBias = b; }
        if (!d && !hasStandard) { hasStandard = true; standardBias = b; }
    }
    if (!hasStandard) {
        // Daylight time all year: take the C library's standard offset.
        standardBias = static_cast<int32_t>(::timezone / 60);
    }
    state.bias = standardBias;
    state.standardBias = 0;
    if (!hasDaylight) {
        state.mode = TimeZoneMode::Unknown;
        state.daylightBias = 0;
    } else {
        state.daylightBias = daylightBias - standardBias;
        state.mode = nowDaylight ? TimeZoneMode::Daylight : TimeZoneMode::Standard;
    }
    return state;
}

}  // namespace platform
