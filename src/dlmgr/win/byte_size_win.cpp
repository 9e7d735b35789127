// The shell's byte-size text.
#include "platform/win/win.h"

#include <shlwapi.h>

#include "dlmgr/download_display.h"

namespace dlmgr {

std::string ByteSizeText(uint64_t bytes) {
    char text[64] = {};
    if (!StrFormatByteSize64A(static_cast<LONGLONG>(bytes), text, sizeof text)) return std::to_string(bytes);
    return text;
}

}  // namespace dlmgr
