// The "downloaded from the internet" mark a Windows file carries in its
// "Zone.Identifier" stream: what it says for a file fetched from an address.
#pragma once

#include <string>

namespace dlmgr {

// The stream's text for a file from `hostUrl`, in the Internet zone (3). An
// address is one line of the text: line breaks and other control
// characters in it are dropped, so it cannot add lines of its own.
std::string ZoneIdentifierText(const std::string& hostUrl);

}  // namespace dlmgr
