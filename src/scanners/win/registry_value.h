// Reading one registry value the way the scanners read uninstall entries,
// class keys and service keys: into a 260-byte buffer, a REG_DWORD as its
// signed decimal text, anything else as 8-bit text up to its first terminator
// (a multi-string gives its first string), passed through the ANSI code page
// to UTF-16 and back, and trimmed of white space. A missing or unreadable
// value, and one that does not fit the buffer (more than 260 bytes, the
// terminator included), reads as empty.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace scanners {

inline constexpr unsigned kRegistryValueBufferBytes = 260;

// `key` must be open for querying values; `name` is the value's name in the
// ANSI code page (empty for the key's default value).
std::string ReadRegistryValue(HKEY key, const std::string& name);

}  // namespace scanners
