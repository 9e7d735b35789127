#include "appcore/commands.h"

#include "platform/setting_names.h"
#include "platform/string_table.h"
#include "resource.h"

namespace appcore {

CommandKind ClassifyCommand(unsigned id) {
    if (id >= ID_UPDATE_NAME_FIRST && id <= ID_UPDATE_NAME_LAST) return CommandKind::UpdateName;
    if (IsViewCommand(id)) return CommandKind::SelectView;
    if (ListActionIndex(id) >= 0) return CommandKind::ListAction;
    switch (id) {
        case ID_SCAN_AND_CHECK:
        case ID_SCAN_NOW: return CommandKind::ScanAndCheck;
        case ID_CHECK_ONLY: return CommandKind::CheckOnly;
        case ID_STOP_CHECKING:
        case ID_STOP_SCAN: return CommandKind::Stop;
        case ID_UPDATES: return CommandKind::Updates;
        case ID_MY_PAGE: return CommandKind::MyPage;
        case ID_MY_ACCOUNT:
        case ID_ONLINE_HELP:
        case ID_CONTACT_SUPPORT:
        case ID_SUPPORT_CENTER: return CommandKind::OpenPage;
        case ID_WINDOWS_UPDATE: return CommandKind::WindowsUpdate;
        case ID_OPTIONS:
        case ID_SETTINGS:
        case ID_TOOLBAR_SETTINGS: return CommandKind::Settings;
        case ID_DOWNLOAD_MANAGER: return CommandKind::DownloadManager;
        case ID_ABOUT:
        case ID_ABOUT_TRAY: return CommandKind::About;
        case ID_CLOSE_WINDOW: return CommandKind::CloseWindow;
        case ID_APP_EXIT_CMD: return CommandKind::Exit;
        case ID_VIEW_TOOLBAR: return CommandKind::Toolbar;
        case ID_CLEAR_SOFTWARE_VIEW: return CommandKind::ClearSoftwareView;
        case ID_ALREADY_RUNNING: return CommandKind::AlreadyRunning;
        default: return CommandKind::Unknown;
    }
}

CommandUi CommandState(unsigned id, const CommandContext& c) {
    CommandUi ui;
    switch (ClassifyCommand(id)) {
        case CommandKind::ScanAndCheck: ui.enabled = !c.workerRunning && !c.dailyListLoading; break;
        case CommandKind::CheckOnly: ui.enabled = !c.workerRunning && !c.dailyListLoading && c.listsHaveItems; break;
        case CommandKind::Stop: ui.enabled = c.workerRunning; break;
        case CommandKind::CloseWindow: ui.enabled = c.trayIconShown; break;
        case CommandKind::Toolbar: ui.checked = c.toolbarVisible; break;
        case CommandKind::SelectView: ui.checked = c.currentView == id; break;
        default: break;
    }
    return ui;
}

PageAddress PageCommandAddress(unsigned id) {
    switch (id) {
        case ID_MY_ACCOUNT: return {setting::kAccountStatusUrl, setting::kAccountStatusUrlDefaultId};
        case ID_ONLINE_HELP: return {setting::kOnlineFaqsUrl, setting::kOnlineFaqsUrlDefaultId};
        case ID_CONTACT_SUPPORT: return {setting::kSubmitFeedbackUrl, setting::kSubmitFeedbackUrlDefaultId};
        case ID_SUPPORT_CENTER: return {setting::kHelpPageUrl, setting::kHelpPageUrlDefaultId};
        case ID_MY_PAGE: return {setting::kHomePageUrl, setting::kHomePageUrlDefaultId};
        default: return {};
    }
}

std::string ReadPageAddress(const platform::Settings& settings, const PageAddress& address) {
    if (!address.setting) return std::string();
    return settings.ReadText(address.setting, address.defaultTextId);
}

std::string ClientPageAddress(const std::string& homePage) {
    if (homePage.empty()) return std::string();
    // The query item goes before a fragment, where a server can see it.
    const size_t hash = homePage.find('#');
    std::string address = homePage.substr(0, hash);
    const std::string fragment = hash == std::string::npos ? std::string() : homePage.substr(hash);
    const size_t question = address.find('?');
    if (question == std::string::npos) address += '?';
    else if (address.size() - question > 1) address += '&';
    return address + "tag=client" + fragment;
}

bool PageRequestLimiter::Accept(uint64_t nowMs) {
    if (any_ && nowMs - lastAccepted_ < kIntervalMs && nowMs >= lastAccepted_) return false;
    any_ = true;
    lastAccepted_ = nowMs;
    return true;
}

bool IsViewCommand(unsigned id) { return id == ID_VIEW_SOFTWARE || (id >= ID_VIEW_DRIVERS && id <= ID_VIEW_HISTORY); }

unsigned DefaultViewId(uint32_t stored) {
    switch (stored) {
        case ID_VIEW_SOFTWARE:
        case ID_VIEW_DRIVERS:
        case ID_VIEW_DAILY:
        case ID_VIEW_HISTORY: return stored;
        default: return ID_VIEW_DRIVERS;
    }
}

const char* ViewTitlePrefix(unsigned id) {
    switch (id) {
        case ID_VIEW_SOFTWARE: return "Installed Software List - ";
        case ID_VIEW_DRIVERS: return "Installed Drivers List - ";
        case ID_VIEW_SEARCH: return "Search Result List - ";
        case ID_VIEW_DAILY: return "Zelto Varnel Today's Updates - ";
        case ID_VIEW_HISTORY: return "Download History List - ";
        default: return "";
    }
}

int ListActionIndex(unsigned id) {
    static constexpr unsigned kActions[kListActionCount] = {
        ID_LA_UNTRACKED,   ID_LA_REPORT,     ID_LA_DOWNLOAD,  ID_LA_SKIP,         ID_LA_UNSKIP,    ID_LA_READ_MORE,
        ID_LA_FIND_TARGET, ID_LA_PROPERTIES, ID_LA_ADD_WATCH, ID_LA_REMOVE_WATCH, ID_LA_UNINSTALL, ID_LA_RESET};
    for (int i = 0; i < kListActionCount; ++i)
        if (kActions[i] == id) return i;
    return -1;
}

int SettingsStartPage(uint32_t stored) { return stored <= 2 ? static_cast<int>(stored) : 0; }

std::string AccountResultText(int code, const std::string& accountError) {
    switch (code) {
        case 0:
        case 4: return std::string();
        case 1: return "Operation aborted.";
        case 2: return "Login error: " + accountError;
        case 3: return platform::LoadText(316);
        case 5: return "Email field can't be empty.";
        case 6: return "Password field can't be empty.";
        case 7: return "Email or Password can not have <, >, or & character.";
        case 8: return "Error: Can not initialize MSXML SAX parser.";
        default: return "Unknown action, return code:" + std::to_string(code);
    }
}

std::string UnconfirmedAccountText(const std::string& address) {
    return "Account is unconfirmed\nGo to this web address for instructions on how to confirm your account:\n" +
           address;
}

std::string AccountContactText(int code, const std::string& refusal, const std::string& confirmAddress) {
    return AccountResultText(code, confirmAddress.empty() ? refusal : UnconfirmedAccountText(confirmAddress));
}

}  // namespace appcore
