// The frame's command table as decisions: what kind of command an id is,
// when it is enabled, which address a page command opens and how the user's
// page address is formed, which view is the default, and the texts of an
// account contact's result codes. The frame (Windows) carries them out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/settings.h"

namespace appcore {

enum class CommandKind {
    Unknown,
    ScanAndCheck,       // 32845, 32892
    CheckOnly,          // 32846
    Stop,               // 32841, 32893
    Updates,            // 32774 (the tray's own command)
    MyPage,             // 32775
    UpdateName,         // 33000-34000
    OpenPage,           // 32835, 32859, 32856, 32895
    WindowsUpdate,      // 32873
    Settings,           // 32883, 32894, 32797
    DownloadManager,    // 32882
    About,              // 32857, 32896
    CloseWindow,        // 32816
    Exit,               // 32771
    Toolbar,            // 59392
    SelectView,         // 32863, 32869-32872
    ClearSoftwareView,  // 32861
    AlreadyRunning,     // 32879
    ListAction,         // forwarded to the current view
};

CommandKind ClassifyCommand(unsigned id);

// What the enabling rules look at.
struct CommandContext {
    bool workerRunning = false;
    bool dailyListLoading = false;
    bool listsHaveItems = false;  // the watch list or the driver list holds items
    bool trayIconShown = false;
    bool toolbarVisible = false;
    unsigned currentView = 0;
};

struct CommandUi {
    bool enabled = true;
    bool checked = false;
};

// The enabled and check-marked state of a command the frame decides itself
// (list actions are the current view's to decide).
CommandUi CommandState(unsigned id, const CommandContext& context);

// A page command's address: the setting and its string-table default.
struct PageAddress {
    const char* setting = nullptr;
    int defaultTextId = 0;
};
PageAddress PageCommandAddress(unsigned id);
// The address read from the settings, or its string-table default.
std::string ReadPageAddress(const platform::Settings& settings, const PageAddress& address);

// "HomePage URL" with the query item "tag=client": "?" first when the address
// has no query part, "&" first when the query part holds anything. A fragment
// stays at the end. An empty address gives an empty result.
std::string ClientPageAddress(const std::string& homePage);

// "Go to my Zelto Varnel page" is accepted at most once every 5 seconds.
class PageRequestLimiter {
public:
    static constexpr uint64_t kIntervalMs = 5000;
    // True when a request at `nowMs` (a monotonic clock) is accepted.
    bool Accept(uint64_t nowMs);

private:
    bool any_ = false;
    uint64_t lastAccepted_ = 0;
};

// The view ids, also the keys of "Pro Default View ID".
bool IsViewCommand(unsigned id);
// "Pro Default View ID" as used: 32863, 32869, 32871 or 32872; anything else
// counts as 32869.
unsigned DefaultViewId(uint32_t stored);
// The window title's prefix of a view; empty for an unknown id.
const char* ViewTitlePrefix(unsigned id);

// A list action's place in the list views' table (0-11), or -1.
int ListActionIndex(unsigned id);
inline constexpr int kListActionCount = 12;

// "Last Active Page" as used by the settings sheet: 0-2, anything else 0.
int SettingsStartPage(uint32_t stored);

// The text of an account contact's result code (empty for success).
std::string AccountResultText(int code, const std::string& accountError);
// The account error text of a reply that says the account is not confirmed.
std::string UnconfirmedAccountText(const std::string& address);
// What the user is told after an account contact: the code's text, where the
// account error text is the unconfirmed-account text when the service sent a
// confirmation address, else the refusal's own text. Empty for success.
std::string AccountContactText(int code, const std::string& refusal, const std::string& confirmAddress);

}  // namespace appcore
