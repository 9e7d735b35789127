// Text conversions see every byte the outside world sends: they must never
// crash, and ANSI text must survive the round trip through UTF-16 and UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string fromUtf8 = platform::Utf8ToUtf16(bytes);
    (void)platform::Utf16ToUtf8(fromUtf8);
    if (bytes.find('\0') == std::string::npos) {
        const std::string back = platform::Utf8ToAnsi(platform::AnsiToUtf8(bytes));
        if (back != bytes) std::abort();
    }
    return 0;
}
