// The system's ANSI code page through MultiByteToWideChar / WideCharToMultiByte.
#include "platform/codepage.h"
#include "platform/win/wide.h"

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

namespace {

// `wide` in the ANSI code page when every character has its own code there
// (no best-fit stand-ins, which would name another file).
bool ToAnsiExactly(std::wstring_view wide, std::string& out) {
    out.clear();
    if (wide.empty()) return true;
    const bool utf8 = GetACP() == CP_UTF8;  // holds every character; takes no flags
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int length = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0, nullptr, used);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), length, &out[0], n, nullptr, used);
    return !usedDefault;
}

}  // namespace

std::string AnsiPath(std::wstring_view widePath) {
    std::string path;
    if (ToAnsiExactly(widePath, path)) return path;
    const std::wstring full(widePath);
    const DWORD n = GetShortPathNameW(full.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring shortPath(n, L'\0');
        const DWORD written = GetShortPathNameW(full.c_str(), &shortPath[0], n);
        std::string shortAnsi;
        if (written > 0 && written < n && ToAnsiExactly(std::wstring_view(shortPath.data(), written), shortAnsi))
            return shortAnsi;
    }
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(widePath.data()), widePath.size()));
}

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace platform
