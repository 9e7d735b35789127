#include "appcore/settings_pages.h"

#include "platform/text.h"

namespace appcore {

int AutoUpdateButtonForMode(uint32_t mode) {
    switch (mode) {
        case 2: return 1;
        case 0: return 2;
        default: return 0;
    }
}

uint32_t AutoUpdateModeForButton(int button) {
    switch (button) {
        case 1: return 2;
        case 2: return 0;
        default: return 1;
    }
}

bool DownloadPageModified(const std::string& folder, uint32_t retries, const std::string& storedFolder,
                          uint32_t storedRetries) {
    return !textutil::EqualsNoCase(folder, storedFolder) || retries != storedRetries;
}

uint32_t ParseRetries(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '9') return 0;
    return static_cast<uint32_t>(text[0] - '0');
}

std::string StartupShortcutName(const std::string& title) { return title + ".lnk"; }

}  // namespace appcore
