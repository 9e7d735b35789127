// The exclusion list's revision date comes from the service: any text must
// either be refused or read as a date of the automation range, and the
// newer-list decision must agree with the day arithmetic.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/exclusion_update.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> date = vnxml::ParseUserDate(text);
    if (date) {
        // 1 January 100 to 31 December 9999, times included.
        if (!std::isfinite(*date) || *date < -657435.0 || *date >= 2958466.0) std::abort();
        const bool newer = vnxml::IsNewerExclusionList(text, "2024-06-01", false);
        if (newer != (vnxml::WholeDayDifference(*date, 45444.0) > 0)) std::abort();
        if (vnxml::IsNewerExclusionList(text, text, false)) std::abort();
    } else if (vnxml::IsNewerExclusionList(text, "", true)) {
        std::abort();
    }
    return 0;
}
