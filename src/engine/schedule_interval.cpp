#include "engine/schedule_interval.h"

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

}  // namespace engine
