// A date text read by the OLE automation parser in the user's default
// locale, as every date the agent compares with the service's is read.
#include "platform/win/win.h"
#include <oleauto.h>

#include "platform/win/wide.h"
#include "service/exclusion_update.h"

namespace vnxml {

std::optional<double> ParseUserDate(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::wstring wide = platform::Widen(text);
    DATE date = 0;
    if (FAILED(::VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &date))) return std::nullopt;
    return date;
}

}  // namespace vnxml
