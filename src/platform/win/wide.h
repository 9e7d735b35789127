// UTF-16 at the Windows calls that need it: the program's 8-bit text is the
// ANSI code page, widened and narrowed through it.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace platform {

inline std::wstring Widen(std::string_view ansi) {
    const std::u16string w = AnsiToUtf16(ansi);
    return std::wstring(w.begin(), w.end());
}

inline std::string Narrow(std::wstring_view wide) {
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace platform
