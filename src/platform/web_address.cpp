#include "platform/web_address.h"

#include "platform/log.h"
#include "platform/text.h"

namespace platform {

bool IsWebAddress(std::string_view address) {
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
        if (address.size() > scheme.size() && textutil::StartsWithNoCase(address, scheme)) return true;
    return false;
}

bool AcceptWebPage(const std::string& address) {
    if (IsWebAddress(address)) return true;
    vnlog::Write("*** Not a web address, not opened: " + address);
    return false;
}

}  // namespace platform
