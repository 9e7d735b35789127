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

namespace {

// `widePath` with each component that the code page cannot hold replaced by
// its short name, the others kept as they are: "C:\Users\UKASZ~1\Documents"
// rather than "C:\Users\UKASZ~1\DOCUME~1". False when a component has no
// short name (the volume keeps none) or does not exist.
bool ShortenForeignComponents(std::wstring_view widePath, std::string& out) {
    out.clear();
    std::wstring prefix;
    std::string component;
    size_t start = 0;
    while (start <= widePath.size()) {
        size_t end = widePath.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) end = widePath.size();
        const std::wstring_view name = widePath.substr(start, end - start);
        if (!ToAnsiExactly(name, component)) {
            WIN32_FIND_DATAW data = {};
            const std::wstring probe = prefix + std::wstring(name);
            const HANDLE find = FindFirstFileW(probe.c_str(), &data);
            if (find == INVALID_HANDLE_VALUE) return false;
            FindClose(find);
            if (data.cAlternateFileName[0] == L'\0' || !ToAnsiExactly(data.cAlternateFileName, component)) return false;
        }
        out += component;
        prefix.append(name);
        if (end == widePath.size()) break;
        out += static_cast<char>(widePath[end]);
        prefix += widePath[end];
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string AnsiPath(std::wstring_view widePath) {
    std::string path;
    if (ToAnsiExactly(widePath, path)) return path;
    if (ShortenForeignComponents(widePath, path)) return path;
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
