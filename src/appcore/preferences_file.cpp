#include "appcore/preferences_file.h"

#include "platform/files.h"
#include "platform/setting_names.h"
#include "platform/string_table.h"

namespace appcore {
namespace {

// A line break inside a value would start a new line of the file and so
// smuggle in keys of its own: a value ends at its first line break.
std::string SingleLine(const std::string& value) { return value.substr(0, value.find_first_of("\r\n")); }

void AddLine(std::string& text, const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += "\r\n";
}

}  // namespace

std::string PreferencesText(const platform::Settings& settings) {
    std::string text = "[defaults]\r\n";
    for (const char* key : {setting::kScanId, setting::kExcludeDeviceClasses}) {
        const std::string value = SingleLine(settings.ReadText(key));
        if (!value.empty()) AddLine(text, key, value);
    }
    auto flag = [&](const char* key, bool value) { AddLine(text, key, value ? "true" : "false"); };
    flag(setting::kPulseIcon, settings.ReadFlag(setting::kPulseIcon, setting::kPulseIconDefaultInPrefsFile));
    flag(setting::kReportProductMsg, settings.ReadFlag(setting::kReportProductMsg, true));
    flag(setting::kCheckForUpdates,
         settings.ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault) != 0);
    for (const char* key : {setting::kIncludeSysInfo, setting::kTrackApplicationUsage, setting::kScanDesktop,
                            setting::kScanDevices, setting::kScanOpenApps, setting::kScanRecentApps,
                            setting::kScanStartMenu})
        flag(key, settings.ReadFlag(key, true));
    return text;
}

bool WritePreferencesFile(const platform::Settings& settings, const std::string& dataFolder) {
    const std::string path = dataFolder + "\\" + platform::LoadText(kPreferencesFileNameId);
    return platform::WriteFileAtomically(path, PreferencesText(settings));
}

}  // namespace appcore
