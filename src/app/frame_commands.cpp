#include "app/frame_commands.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/about_dialog.h"
#include "app/error_dialog.h"
#include "app/scan_worker.h"
#include "app/settings_sheet.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/web_address.h"
#include "resource.h"

namespace app {
namespace {

constexpr char kWindowsUpdateSite[] = "https://windowsupdate.microsoft.com/";
// Since Windows 10 the site only sends its visitors to the Settings page,
// which this address opens; older systems do not know it, and get the site.
constexpr char kWindowsUpdateSettings[] = "ms-settings:windowsupdate";
constexpr int kTitleTextId = 57344;

struct ToolButton {
    int image;  // in the common controls' standard small images
    unsigned id;
    const char* text;
    BYTE style;
};

// "Scan" carries the drop-down of menu 218.
constexpr ToolButton kButtons[] = {
    {STD_FIND, ID_SCAN_AND_CHECK, "Scan", BTNS_DROPDOWN},
    {STD_DELETE, ID_STOP_CHECKING, "Stop", BTNS_BUTTON},
    {0, 0, "", BTNS_SEP},
    {STD_FILEOPEN, ID_VIEW_SOFTWARE, "Software", BTNS_CHECKGROUP},
    {STD_PROPERTIES, ID_VIEW_DRIVERS, "Drivers", BTNS_CHECKGROUP},
    {STD_FILENEW, ID_VIEW_DAILY, "Today", BTNS_CHECKGROUP},
    {STD_UNDO, ID_VIEW_HISTORY, "History", BTNS_CHECKGROUP},
    {0, 0, "", BTNS_SEP},
    {STD_PROPERTIES, ID_TOOLBAR_SETTINGS, "Settings", BTNS_BUTTON},
    {STD_REDOW, ID_WINDOWS_UPDATE, "Windows Update", BTNS_BUTTON},
    {STD_HELP, ID_ONLINE_HELP, "Help", BTNS_BUTTON},
};

}  // namespace

bool CFrameCommands::ShellOpen(const std::string& file, const std::string& arguments) {
    const HINSTANCE result = ShellExecuteA(nullptr, "open", file.c_str(),
                                           arguments.empty() ? nullptr : arguments.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

CFrameCommands::CFrameCommands(Frame frame) : frame_(std::move(frame)) {
    now = [] { return static_cast<uint64_t>(GetTickCount64()); };
}

void CFrameCommands::CreateBars() {
    platform::Settings& settings = platform::AppSettings();
    if (HMENU bar = LoadMenuA(frame_.instance, MAKEINTRESOURCEA(IDR_FRAME_MENU))) SetMenu(frame_.window, bar);

    INITCOMMONCONTROLSEX init{sizeof init, ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    toolbar_ = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, "", WS_CHILD | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0,
        frame_.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_VIEW_TOOLBAR)), frame_.instance, nullptr);
    if (toolbar_) {
        SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageA(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
        SendMessageA(toolbar_, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
        for (const ToolButton& b : kButtons) {
            TBBUTTON button{};
            button.iBitmap = b.style == BTNS_SEP ? 6 : b.image;
            button.idCommand = static_cast<int>(b.id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = static_cast<BYTE>(b.style | (b.style == BTNS_SEP ? 0 : BTNS_SHOWTEXT | BTNS_AUTOSIZE));
            button.iString = b.style == BTNS_SEP ? 0 : reinterpret_cast<INT_PTR>(b.text);
            SendMessageA(toolbar_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
        }
        SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
        UpdateToolbar();
        if (settings.ReadFlag(setting::kViewToolbar, setting::kViewToolbarDefault)) ShowWindow(toolbar_, SW_SHOW);
    }
    SelectView(
        appcore::DefaultViewId(settings.ReadNumber(setting::kProDefaultViewId, setting::kProDefaultViewIdDefault)));
}

bool CFrameCommands::ToolbarVisible() const { return toolbar_ && (GetWindowLongA(toolbar_, GWL_STYLE) & WS_VISIBLE); }

appcore::CommandContext CFrameCommands::Context() const {
    appcore::CommandContext c;
    c.workerRunning = frame_.worker && frame_.worker->IsWorkerRunning();
    c.dailyListLoading = frame_.dailyListLoading && frame_.dailyListLoading();
    c.listsHaveItems = frame_.listsHaveItems && frame_.listsHaveItems();
    c.trayIconShown = frame_.trayIconShown && frame_.trayIconShown();
    c.toolbarVisible = ToolbarVisible();
    c.currentView = currentView_;
    return c;
}

bool CFrameCommands::Run(unsigned id) {
    const appcore::CommandContext context = Context();
    switch (appcore::ClassifyCommand(id)) {
        case appcore::CommandKind::ScanAndCheck:
            if (frame_.worker && appcore::CommandState(id, context).enabled) frame_.worker->StartScan(true, true);
            return true;
        case appcore::CommandKind::CheckOnly:
            if (frame_.worker && appcore::CommandState(id, context).enabled) frame_.worker->StartCheck(true);
            return true;
        case appcore::CommandKind::Stop:
            if (frame_.worker) frame_.worker->StopWorker();
            return true;
        case appcore::CommandKind::MyPage: OpenMyPage(); return true;
        case appcore::CommandKind::UpdateName:
            // Ctrl held down over an update's name does nothing.
            if (!(GetKeyState(VK_CONTROL) & 0x8000)) OpenMyPage();
            return true;
        case appcore::CommandKind::OpenPage: {
            const std::string address =
                appcore::ReadPageAddress(platform::AppSettings(), appcore::PageCommandAddress(id));
            if (!address.empty() && platform::AcceptWebPage(address)) openPage(address, std::string());
            return true;
        }
        case appcore::CommandKind::WindowsUpdate:
            if (!openPage(kWindowsUpdateSettings, std::string())) openPage("explorer.exe", kWindowsUpdateSite);
            return true;
        case appcore::CommandKind::Settings:
            CVarnelDlg::Show(frame_.instance, frame_.window, frame_.interactive && *frame_.interactive);
            return true;
        case appcore::CommandKind::About: CAboutDlg::Show(frame_.instance, frame_.window); return true;
        case appcore::CommandKind::DownloadManager:
            // The download manager's window belongs to the download manager.
            if (showDownloadManager) showDownloadManager();
            return true;
        case appcore::CommandKind::Toolbar: ToggleToolbar(); return true;
        case appcore::CommandKind::SelectView: SelectView(id); return true;
        case appcore::CommandKind::ClearSoftwareView:
            if (clearSoftwareView) clearSoftwareView();
            return true;
        case appcore::CommandKind::ListAction: {
            // Forwarded to the current view, when it allows it; with no view
            // the command is ignored.
            appcore::CommandUi ui;
            const int index = appcore::ListActionIndex(id);
            if (listAction && listAction(index, false, ui) && ui.enabled) listAction(index, true, ui);
            return true;
        }
        default: return false;
    }
}

void CFrameCommands::OpenMyPage() {
    if (!myPageLimit_.Accept(now())) return;
    const std::string address = appcore::ClientPageAddress(
        appcore::ReadPageAddress(platform::AppSettings(), appcore::PageCommandAddress(ID_MY_PAGE)));
    if (!address.empty() && platform::AcceptWebPage(address)) openPage(address, std::string());
}

void CFrameCommands::SelectView(unsigned id) {
    currentView_ = id;
    if (viewSelected) viewSelected(id);
    const std::string title = std::string(appcore::ViewTitlePrefix(id)) + platform::LoadText(kTitleTextId);
    SetWindowTextA(frame_.window, title.c_str());
    if (toolbar_) {
        for (const ToolButton& b : kButtons)
            if (appcore::IsViewCommand(b.id)) SendMessageA(toolbar_, TB_CHECKBUTTON, b.id, b.id == id);
    }
}

void CFrameCommands::ToggleToolbar() {
    if (!toolbar_) return;
    const bool show = !ToolbarVisible();
    ShowWindow(toolbar_, show ? SW_SHOW : SW_HIDE);
    platform::AppSettings().WriteFlag(setting::kViewToolbar, show);
    // The frame lays out the toolbar and the view again.
    RECT client{};
    GetClientRect(frame_.window, &client);
    SendMessageA(frame_.window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void CFrameCommands::OnSize() {
    if (toolbar_) SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
}

void CFrameCommands::UpdateToolbar() const {
    if (!toolbar_) return;
    const appcore::CommandContext context = Context();
    for (const ToolButton& b : kButtons) {
        const appcore::CommandKind kind = appcore::ClassifyCommand(b.id);
        if (kind != appcore::CommandKind::ScanAndCheck && kind != appcore::CommandKind::Stop) continue;
        const bool enabled = appcore::CommandState(b.id, context).enabled;
        const bool shown = SendMessageA(toolbar_, TB_ISBUTTONENABLED, b.id, 0) != 0;
        if (enabled != shown) SendMessageA(toolbar_, TB_ENABLEBUTTON, b.id, MAKELPARAM(enabled ? TRUE : FALSE, 0));
    }
}

void CFrameCommands::UpdateMenu(HMENU menu) const {
    const appcore::CommandContext context = Context();
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;
        const appcore::CommandKind kind = appcore::ClassifyCommand(id);
        if (kind == appcore::CommandKind::ListAction) {
            // The current view decides; with none the action cannot run.
            appcore::CommandUi ui;
            ui.enabled = false;
            if (!listAction || !listAction(appcore::ListActionIndex(id), false, ui))
                ui = appcore::CommandUi{false, false};
            EnableMenuItem(menu, i, MF_BYPOSITION | (ui.enabled ? MF_ENABLED : MF_GRAYED));
            CheckMenuItem(menu, i, MF_BYPOSITION | (ui.checked ? MF_CHECKED : MF_UNCHECKED));
            continue;
        }
        const appcore::CommandUi ui = appcore::CommandState(id, context);
        EnableMenuItem(menu, i, MF_BYPOSITION | (ui.enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, i, MF_BYPOSITION | (ui.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

bool CFrameCommands::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != toolbar_ || !toolbar_) return false;
    if (header.code == TBN_DROPDOWN) {
        ShowScanDropDown(reinterpret_cast<const NMTOOLBARA&>(header).iItem);
        result = TBDDRET_DEFAULT;
        return true;
    }
    return false;
}

void CFrameCommands::ShowScanDropDown(int item) {
    RECT button{};
    SendMessageA(toolbar_, TB_GETRECT, item, reinterpret_cast<LPARAM>(&button));
    POINT at{button.left + 8, button.bottom + 3};
    ClientToScreen(toolbar_, &at);
    HMENU menu = LoadMenuA(frame_.instance, MAKEINTRESOURCEA(IDR_SCAN_DROPDOWN));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    UpdateMenu(popup);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, frame_.window, nullptr);
    DestroyMenu(menu);
}

}  // namespace app
