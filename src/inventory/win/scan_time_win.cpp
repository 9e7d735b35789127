// The scan-time texts through the system's date and time formatting: the
// user's short date (the formats chosen in the regional settings, which may
// differ from the system's language), and the time format forced to 24 hours
// without the AM/PM marker.
#include "inventory/scan_time.h"
#include "platform/win/win.h"

namespace inventory {
namespace {

SYSTEMTIME ToSystemTime(const CalendarTime& time) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.year);
    st.wMonth = static_cast<WORD>(time.month);
    st.wDay = static_cast<WORD>(time.day);
    st.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
    st.wHour = static_cast<WORD>(time.hour);
    st.wMinute = static_cast<WORD>(time.minute);
    st.wSecond = static_cast<WORD>(time.second);
    return st;
}

CalendarTime FromSystemTime(const SYSTEMTIME& st) {
    CalendarTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.day = st.wDay;
    time.dayOfWeek = st.wDayOfWeek;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    return time;
}

}  // namespace

std::optional<CalendarTime> LocalCalendarTime(int64_t seconds) {
    const std::optional<CalendarTime> utc = UtcCalendarTime(seconds);
    if (!utc) return std::nullopt;
    const SYSTEMTIME universal = ToSystemTime(*utc);
    SYSTEMTIME local{};
    // The zone's rules for that date, not only today's offset.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return std::nullopt;
    return FromSystemTime(local);
}

std::string FormatShortDate(const CalendarTime& time) {
    const SYSTEMTIME st = ToSystemTime(time);
    char text[128];
    const int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, sizeof text);
    return length > 0 ? std::string(text, static_cast<size_t>(length - 1)) : std::string();
}

std::string FormatTimeOfDay(const CalendarTime& time) {
    const SYSTEMTIME st = ToSystemTime(time);
    char text[128];
    const int length = GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, &st, nullptr,
                                      text, sizeof text);
    return length > 0 ? std::string(text, static_cast<size_t>(length - 1)) : std::string();
}

}  // namespace inventory
