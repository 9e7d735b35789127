#include "dlmgr/zone_identifier.h"

namespace dlmgr {

std::string ZoneIdentifierText(const std::string& hostUrl) {
    std::string url;
    url.reserve(hostUrl.size());
    for (char c : hostUrl)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) url += c;
    std::string text = "[ZoneTransfer]\r\nZoneId=3\r\n";
    if (!url.empty()) text += "HostUrl=" + url + "\r\n";
    return text;
}

}  // namespace dlmgr
