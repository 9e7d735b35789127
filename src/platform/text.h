// Helpers for the program's 8-bit text (bytes of the Windows ANSI code page).
// Case-insensitive comparison folds ASCII letters only, as the Windows C
// runtime does in its default "C" locale; bytes of 128 and above compare as
// themselves.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace textutil {

char ToLowerAscii(char c);
std::string ToLowerAscii(std::string_view s);

// <0, 0, >0 like CString::CompareNoCase (byte-wise after ASCII folding).
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);
// Position of `needle` in `hay` ignoring ASCII case, or npos.
size_t FindNoCase(std::string_view hay, std::string_view needle, size_t from = 0);

// White space as the C runtime's isspace sees it: blank, \t \n \v \f \r.
bool IsSpace(char c);
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatV(const char* fmt, va_list args);

// The file-name part of a path (after the last '\\' or '/').
std::string FileNameOf(std::string_view path);
// The extension without the dot ("" when there is none).
std::string ExtensionOf(std::string_view path);

// A text shown as it is in a menu item: each "&" doubled, so that none is
// taken for the mark of an access key ("AT&T" would show as "ATT"). The
// byte "&" is never the second byte of a double-byte character.
std::string MenuLabel(std::string_view text);

}  // namespace textutil
