// The system's ANSI code page through MultiByteToWideChar / WideCharToMultiByte.
#include "platform/codepage.h"

#include <windows.h>

namespace platform {

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                        reinterpret_cast<wchar_t*>(&out[0]), n);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view utf16) {
    if (utf16.empty()) return {};
    const wchar_t* w = reinterpret_cast<const wchar_t*>(utf16.data());
    const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(utf16.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace platform
