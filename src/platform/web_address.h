// Addresses the program hands to the shell's "open" verb. They come from the
// update service, the settings and links in texts the service sent, so only
// web pages are opened: the shell would run a program, a script or a share
// given as a file path or another scheme.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// An http:// or https:// address (the scheme in any letter case) with
// something after the scheme.
bool IsWebAddress(std::string_view address);

// True when `address` is a web address and may be opened; otherwise logs
// that it was not opened and returns false.
bool AcceptWebPage(const std::string& address);

}  // namespace platform
