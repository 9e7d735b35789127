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

// `wide` in the ANSI code page when every character has its own code there
// (no best-fit stand-ins, which would name another file); false otherwise,
// with `out` then not to be used.
bool ToAnsiExactly(std::wstring_view wide, std::string& out);

// A path that the program's 8-bit (ANSI) calls can open. A folder or file
// whose name holds characters outside the ANSI code page (a profile folder
// named after its user, say) cannot be named in 8 bits: its short (8.3) name
// can, when the volume keeps short names. Only such names are shortened; the
// others keep their long form. Otherwise the nearest 8-bit form, as before.
std::string AnsiPath(std::wstring_view widePath);

}  // namespace platform
