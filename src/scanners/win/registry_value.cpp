#include "scanners/win/registry_value.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/codepage.h"
#include "platform/text.h"

namespace scanners {

std::string ReadRegistryValue(HKEY key, const std::string& name) {
    BYTE buffer[kRegistryValueBufferBytes] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS) return std::string();
    if (size > sizeof buffer) return std::string();
    if (type == REG_DWORD) {
        if (size < sizeof(int32_t)) return std::string();
        int32_t value = 0;
        std::memcpy(&value, buffer, sizeof value);
        return textutil::Format("%d", static_cast<int>(value));
    }
    // The data need not end in a terminator: never look past what was returned.
    const char* text = reinterpret_cast<const char*>(buffer);
    const size_t length = static_cast<size_t>(std::find(text, text + size, '\0') - text);
    const std::string raw(text, length);
    return textutil::Trim(platform::Utf16ToAnsi(platform::AnsiToUtf16(raw)));
}

}  // namespace scanners
