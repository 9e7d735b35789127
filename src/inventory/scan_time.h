// The texts of the watch list's scan time: when the last request went out,
// as the date and time in UTC and as the local date. The calendar arithmetic
// is here; how a date and a time of day are written (the user's short date
// format, a 24-hour time with seconds) is the platform's.
//
// Windows: GetDateFormat and GetTimeFormat with the user's default locale
// (short date; time forced to 24 hours without the AM/PM marker), and the
// time zone's rules for the local date. Host: the fixed forms "M/d/yyyy" and
// "HH:mm:ss" (the short date of the US English locale), and the C library's
// local time (TZ).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace inventory {

struct CalendarTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 4;  // 0 = Sunday
};

// Seconds since 1970 as a UTC calendar time; nothing outside the years the
// system's date functions accept (1601-30827).
std::optional<CalendarTime> UtcCalendarTime(int64_t seconds);

// ---- the platform's part
// The calendar time in the machine's time zone; nothing when it cannot be
// converted.
std::optional<CalendarTime> LocalCalendarTime(int64_t seconds);
// The date in the user's short date format.
std::string FormatShortDate(const CalendarTime& time);
// The time of day with seconds, 24-hour, without an AM/PM marker.
std::string FormatTimeOfDay(const CalendarTime& time);

}  // namespace inventory
