// Conversions between the program's 8-bit text (the Windows ANSI code page)
// and UTF-16 / UTF-8. On Windows these use the system's code page; on the
// host they implement Windows-1252, the code page of the test machines.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string AnsiToUtf16(std::string_view ansi);
// Characters with no form in the code page become '?', as WideCharToMultiByte does.
std::string Utf16ToAnsi(std::u16string_view utf16);

std::string Utf16ToUtf8(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);

inline std::string AnsiToUtf8(std::string_view ansi) { return Utf16ToUtf8(AnsiToUtf16(ansi)); }
inline std::string Utf8ToAnsi(std::string_view utf8) { return Utf16ToAnsi(Utf8ToUtf16(utf8)); }

// True when the byte begins a double-byte character in the ANSI code page.
bool IsAnsiLeadByte(unsigned char byte);

}  // namespace platform
