#include "engine/schedule_interval.h"

#include "platform/setting_names.h"
#include "platform/settings.h"

namespace engine {

uint32_t ScheduleIntervalSeconds(uint32_t frequencyIndex, uint32_t customSeconds) {
    switch (frequencyIndex) {
    case kFrequencyEvery4Hours: return 14400;
    case kFrequencyDaily: return 86400;
    case kFrequencyWeekly: return 604800;
    case kFrequencyMonthly: return 2628000;
    case kFrequencyCustom: return customSeconds;
    default: return 0;
    }
}

uint32_t CheckIntervalSeconds(const platform::Settings& settings) {
    return ScheduleIntervalSeconds(settings.ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault),
                                   settings.ReadNumber(setting::kCustomInterval, setting::kCustomIntervalDefault));
}

}  // namespace engine
