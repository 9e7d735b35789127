// How often checks run: the interval of each "Check for Updates" frequency
// index. The schedule uses it to decide when a check is due; the scan
// document reports it to the service.
#pragma once

#include <cstdint>

namespace platform {
class Settings;
}

namespace engine {

// Frequency indices as the settings page offers them (5 is reachable only
// through the registry and uses "Custom Interval").
inline constexpr uint32_t kFrequencyManual = 0;
inline constexpr uint32_t kFrequencyEvery4Hours = 1;
inline constexpr uint32_t kFrequencyDaily = 2;
inline constexpr uint32_t kFrequencyWeekly = 3;
inline constexpr uint32_t kFrequencyMonthly = 4;
inline constexpr uint32_t kFrequencyCustom = 5;

// Seconds between scheduled checks: 0 (no schedule) for "Manual" and for any
// unknown index; `customSeconds` (the setting "Custom Interval") for index 5.
uint32_t ScheduleIntervalSeconds(uint32_t frequencyIndex, uint32_t customSeconds);

// The interval the settings choose: "Check for Updates" (index 2 when not
// set) and, for index 5, "Custom Interval". The scan document reports it
// (CXMLBuffer::checkIntervalSeconds).
uint32_t CheckIntervalSeconds(const platform::Settings& settings);

}  // namespace engine
