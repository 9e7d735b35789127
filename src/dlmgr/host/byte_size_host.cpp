// The shell's byte-size text on the host: the same steps as Windows
// (bytes, KB, MB, GB, TB; three significant digits).
#include <cstdio>

#include "dlmgr/download_display.h"

namespace dlmgr {

std::string ByteSizeText(uint64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
        return text;
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1000.0 && unit < 5) {
        value /= 1024.0;
        ++unit;
    }
    const char* format = value < 10 ? "%.2f %s" : value < 100 ? "%.1f %s" : "%.0f %s";
    std::snprintf(text, sizeof text, format, value, kUnits[unit]);
    return text;
}

}  // namespace dlmgr
