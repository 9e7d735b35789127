// "VNPrefs.ini": a few settings written for other programs, in section
// "defaults", whenever the settings sheet closes. This program never reads it.
#pragma once

#include <string>

#include "platform/settings.h"

namespace appcore {

// The file's name: string 336, "VNPrefs.ini".
inline constexpr int kPreferencesFileNameId = 336;

// The file's text, as the Windows profile functions would leave a fresh file:
// "[defaults]" and one "key=value" line per key, lines ended by CR LF. "Scan ID"
// and "Exclude Device Classes" carry their text and are left out when empty;
// the flags read "true" or "false" (read with the default 1); "Check for
// Updates" is "true" when the frequency index is not 0.
std::string PreferencesText(const platform::Settings& settings);

// Replaces dataFolder\VNPrefs.ini with PreferencesText. True on success.
bool WritePreferencesFile(const platform::Settings& settings, const std::string& dataFolder);

}  // namespace appcore
