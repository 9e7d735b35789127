// The host's scan-time texts: fixed forms, and the C library's local time.
#include <ctime>

#include "inventory/scan_time.h"
#include "platform/text.h"

namespace inventory {

std::optional<CalendarTime> LocalCalendarTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) return std::nullopt;
    CalendarTime out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    out.dayOfWeek = local.tm_wday;
    return out;
}

std::string FormatShortDate(const CalendarTime& time) {
    return textutil::Format("%d/%d/%d", time.month, time.day, time.year);
}

std::string FormatTimeOfDay(const CalendarTime& time) {
    return textutil::Format("%02d:%02d:%02d", time.hour, time.minute, time.second);
}

}  // namespace inventory
