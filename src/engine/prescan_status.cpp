#include "engine/prescan_status.h"

#include "platform/setting_names.h"
#include "platform/settings.h"

namespace engine {

std::string PreScanExclusionListDate(const std::string& loadedListDate) {
    const bool force = platform::AppSettings().ReadNumber(setting::kForceExclusionList,
                                                          setting::kExclusionListModeDefault) != 0;
    const std::string date = force ? std::string() : loadedListDate;
    return date.empty() ? kNoExclusionListDate : date;
}

void ClearPreScanSettings() {
    platform::Settings& settings = platform::AppSettings();
    settings.DeleteValue(setting::kWelcomeUrl);
    settings.WriteText(setting::kScanId, std::string());
}

bool StorePreScanStatus(const vnxml::StatusFields& status) {
    if (!status.IsSuccess()) return false;
    platform::Settings& settings = platform::AppSettings();
    if (!status.scanid.empty()) settings.WriteText(setting::kScanId, status.scanid);
    if (!status.progresspage.empty()) settings.WriteText(setting::kWelcomeUrl, status.progresspage);
    const auto storeOrDelete = [&settings](const char* name, const std::string& value) {
        if (value.empty()) settings.DeleteValue(name);
        else settings.WriteText(name, value);
    };
    storeOrDelete(setting::kClientUpdateUrl, status.clientupdate);
    storeOrDelete(setting::kClientUpdateVersion, status.clientupdateVersion);
    return true;
}

}  // namespace engine
