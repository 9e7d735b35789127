// The host's reading of a date text, standing in for the user's locale on
// Windows: "yyyy-mm-dd" (the update service's form) and the United States
// "m/d/yyyy", each optionally followed by a time of day.
#include <cctype>
#include <cstdint>

#include "platform/text.h"
#include "service/exclusion_update.h"

namespace vnxml {
namespace {

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    // 1 to `maxDigits` decimal digits.
    bool Number(int maxDigits, int& value) {
        int digits = 0;
        value = 0;
        while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_])) && digits < maxDigits) {
            value = value * 10 + (s_[at_++] - '0');
            ++digits;
        }
        return digits > 0 && !(at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_])));
    }
    bool Take(char c) {
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return at_ == s_.size(); }

private:
    const std::string& s_;
    size_t at_ = 0;
};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// An optional time of day after the date: hh:mm or hh:mm:ss. The fraction of
// a day, or a negative number when what follows the date is not a time.
double TimeOfDay(Reader& r) {
    int h = 0, m = 0, s = 0;
    if (!r.Number(2, h) || !r.Take(':') || !r.Number(2, m)) return -1;
    if (r.Take(':') && !r.Number(2, s)) return -1;
    if (!r.AtEnd() || h > 23 || m > 59 || s > 59) return -1;
    return (h * 3600 + m * 60 + s) / 86400.0;
}

}  // namespace

std::optional<double> ParseUserDate(const std::string& input) {
    const std::string text = textutil::Trim(input);
    Reader r(text);
    int y = 0, m = 0, d = 0;
    bool iso = false;
    int first = 0;
    if (!r.Number(4, first)) return std::nullopt;
    if (r.Take('-')) {
        iso = true;
        y = first;
        if (!r.Number(2, m) || !r.Take('-') || !r.Number(2, d)) return std::nullopt;
    } else if (r.Take('/')) {
        m = first;
        if (!r.Number(2, d) || !r.Take('/') || !r.Number(4, y)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    // The range of OLE automation dates.
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;

    double fraction = 0;
    if (!r.AtEnd()) {
        if (!(r.Take(' ') || (iso && r.Take('T')))) return std::nullopt;
        fraction = TimeOfDay(r);
        if (fraction < 0) return std::nullopt;
    }
    const int64_t days = DaysFromCivil(y, m, d) - DaysFromCivil(1899, 12, 30);
    // Before the epoch the whole days count backwards and the time forwards.
    return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace vnxml
