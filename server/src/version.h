// Dotted version numbers as software publishes them ("115.0.2", "22.01",
// "7, 0, 1, 0", "v3.6.1 (x64)"): the numeric components are compared as
// numbers, of any length, and missing trailing components count as zero, so
// "22.01" equals "22.1.0.0" and "1.10" is newer than "1.9".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vnservice {

// The numeric components (without leading zeros; "0" for zero) of the first
// run of digits in the text, separated by '.' or ',' (blanks after a comma are
// allowed). Nothing when the text holds no digit.
std::optional<std::vector<std::string>> ParseVersion(std::string_view text);

// <0, 0 or >0 as a is older than, equal to or newer than b; nothing when
// either holds no version number.
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

// The components joined with '.', trailing zero components dropped (at least
// one kept): equal versions give equal texts. Empty when there is no number.
std::string CanonicalVersion(std::string_view text);

}  // namespace vnservice
