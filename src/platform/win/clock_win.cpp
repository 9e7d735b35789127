// Time and zone on Windows.
#include <ctime>

#include "platform/clock.h"
#include "platform/win/win.h"

namespace platform {

int64_t CurrentTime() { return static_cast<int64_t>(::_time64(nullptr)); }

TimeZoneState CurrentTimeZone() {
    TIME_ZONE_INFORMATION info{};
    const DWORD id = ::GetTimeZoneInformation(&info);
    TimeZoneState state;
    state.bias = info.Bias;
    state.standardBias = info.StandardBias;
    state.daylightBias = info.DaylightBias;
    switch (id) {
    case TIME_ZONE_ID_STANDARD: state.mode = TimeZoneMode::Standard; break;
    case TIME_ZONE_ID_DAYLIGHT: state.mode = TimeZoneMode::Daylight; break;
    case TIME_ZONE_ID_UNKNOWN: state.mode = TimeZoneMode::Unknown; break;
    default: state = TimeZoneState{}; break;  // TIME_ZONE_ID_INVALID
    }
    return state;
}

}  // namespace platform
