// The decisions of the settings sheet's pages: which radio button a stored
// "Autoupdate Mode" selects, when a page counts as modified, and how the
// download page reads its retry field.
#pragma once

#include <cstdint>
#include <string>

namespace appcore {

// "Automatic Update": the buttons in order are modes 1 (automatic),
// 2 (notify) and 0 (manual); an unknown mode selects the first button.
int AutoUpdateButtonForMode(uint32_t mode);
uint32_t AutoUpdateModeForButton(int button);

// "General": what the page shows against what is stored.
struct GeneralPageState {
    uint32_t frequency = 0;    // the combo's index
    bool startupItem = false;  // a shortcut exists in a Startup folder
    bool scanOnStartup = true;
    bool operator==(const GeneralPageState& o) const {
        return frequency == o.frequency && startupItem == o.startupItem && scanOnStartup == o.scanOnStartup;
    }
};

// "Download": the folder differs ignoring case, or the retry count differs.
bool DownloadPageModified(const std::string& folder, uint32_t retries, const std::string& storedFolder,
                          uint32_t storedRetries);
// The retry field's text as a count 1-9; 0 when it holds no such number.
uint32_t ParseRetries(const std::string& text);

// The shortcut's file name in a Startup folder: the program title + ".lnk".
std::string StartupShortcutName(const std::string& title);

}  // namespace appcore
