#include "app/main_frame.h"

#include "app/about_dialog.h"
#include "app/account_contact_worker.h"
#include "app/app_messages.h"
#include "app/error_dialog.h"
#include "app/one_instance.h"
#include "app/settings_sheet.h"
#include "engine/engine_system.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/post_safe.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text_block.h"
#include "platform/win/handles.h"
#include "platform/win/own_windows.h"
#include "platform/win/process_memory.h"
#include "resource.h"
#include "service/scan_report.h"
#include "service/win/rest_session_msxml.h"
#include "views/win/item_feedback_dlg.h"
#include "views/win/item_views.h"

namespace app {
namespace {

constexpr int kSetMessageTextId = 346;     // "Unable to complete request due to error:\r\r%1!s!"
constexpr int kSetMessageCaptionId = 161;
constexpr int kAlreadyRunningTextId = 166;

// Formats a message-table style text ("%1!s!") with one text argument; the
// argument is inserted as it is, never read as a format itself.
std::string FormatWithText(const std::string& format, const std::string& argument) {
    DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(argument.c_str())};
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, format.c_str(), 0,
        0, reinterpret_cast<LPSTR>(&buffer), 0, reinterpret_cast<va_list*>(args));
    const platform::UniqueLocal owned(buffer);
    return n && buffer ? std::string(buffer, n) : format + argument;
}

}  // namespace

CMainFrame::~CMainFrame() {
    // The worker uses the lists and the report service: it goes first.
    worker_.reset();
    DestroyViews();
    if (reports_) {
        if (vnxml::ScanReportService() == reports_.get()) vnxml::InstallScanReportService(nullptr);
        reports_->Stop();
    }
    // The sheet's hooks point at this frame.
    CVarnelDlg::Callbacks().frequencyChanged = nullptr;
    CVarnelDlg::Callbacks().registerAgain = nullptr;
    if (platform::MainWindow() == window_) platform::SetMainWindow(nullptr);
    platform::InstallMessagePresenter(nullptr);
    tray_.Remove();
    DestroyFrameWindow();
}

bool CMainFrame::Create() {
    if (!CreateFrameWindow(platform::LoadText(57344))) return false;
    platform::InstallMessagePresenter(this);
    const std::string dataFolder = platform::DataFolder();
    LoadLists();
    // The scan-report service reads "IpapiLink URL", which config.xml (read
    // with the watch list) may have just set. It lives as long as the frame;
    // one installed before (by a test) is left in place.
    if (!vnxml::ScanReportService()) {
        reports_ = std::make_unique<vnxml::CScanReportService>(vnxml::MakeMsxmlRestSessions());
        if (reports_->Start(vnxml::ReadScanReportOptions(platform::AppSettings(), dataFolder)))
            vnxml::InstallScanReportService(reports_.get());
    }
    worker_ = std::make_unique<CScanWorker>(instance_, *watch_, *drivers_);
    worker_->SetFrameWindow(window_);
    worker_->performExit = [this] { Exit(); };
    worker_->Engine().nextScheduledScan = [this] { return nextScheduledScan_.load(); };
    if (commands_) commands_->SetWorker(worker_.get());
    CreateClient();
    CVarnelDlg::Callbacks().frequencyChanged = [this](uint32_t frequency) { schedule_.frequency = frequency; };
    // The contact runs on its own thread; the frame does not wait for it.
    CVarnelDlg::Callbacks().registerAgain = [this] { StartAccountContact(nullptr, nextScheduledScan_.load()); };
    CreateActions();
    const platform::Settings& settings = platform::AppSettings();
    schedule_.frequency = settings.ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault);
    // Workers post their texts to this window from now on.
    platform::SetMainWindow(window_);
    return true;
}

void CMainFrame::FinishStartup() {
    RefreshCounters();
    if (Views::CListViewEx* view = CurrentView()) view->Reload();
    if (SetTimer(window_, kScheduleTimer, kScheduleFirstDelayMs, nullptr)) {
        timerRunning_ = true;
        vnlog::Write("Schedule timer started");
    } else {
        platform::ReportMessage("Error: System out of timers!", MB_OK | MB_ICONERROR);
    }
}

void CMainFrame::OnCreate() {
    CFrameCommands::Frame lent;
    lent.instance = instance_;
    lent.window = window_;
    lent.trayIconShown = [this] { return tray_.IsWanted(); };
    lent.listsHaveItems = [this] {
        return (watch_ && watch_->GetCount() > 0) || (drivers_ && drivers_->GetCount() > 0);
    };
    // The refresh is created with the lists, after this window: asked when used.
    lent.dailyListLoading = [this] { return dailyRefresh_ && dailyRefresh_->Refresh().Running(); };
    lent.interactive = &interactive;
    commands_ = std::make_unique<CFrameCommands>(std::move(lent));
    commands_->viewSelected = [this](unsigned id) { ShowView(id); };
    commands_->clearSoftwareView = [this] {
        if (Views::CListViewEx* view = View(ID_VIEW_SOFTWARE)) view->Clear();
    };
    commands_->listAction = [this](int index, bool run, appcore::CommandUi& ui) { return ListAction(index, run, ui); };
    commands_->CreateBars();
    tray_.Attach(instance_, window_, Messages().notification);
    trayUi_.Attach(window_);  // tray: menu, tooltip and balloon callbacks
    // Status bar: the idle text of the schedule the settings hold.
    statusBar_.Create(instance_, window_);
    statusBar_.SetIdleText(
        platform::AppSettings().ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault));
    ShowTrayIcon(platform::AppSettings().ReadFlag(setting::kShowTaskbarIcon, setting::kShowTaskbarIconDefault));
}

RECT CMainFrame::FreeClientArea() {
    RECT area{};
    GetClientRect(window_, &area);
    if (commands_ && commands_->ToolbarVisible()) {
        RECT bar{};
        GetWindowRect(commands_->Toolbar(), &bar);
        area.top += bar.bottom - bar.top;
    }
    // The status bar keeps the bottom of the client area.
    // (The bar's own style: the frame may be hidden.)
    if (const HWND status = statusBar_.Window(); status && (GetWindowLongA(status, GWL_STYLE) & WS_VISIBLE)) {
        RECT bar{};
        GetWindowRect(status, &bar);
        area.bottom -= bar.bottom - bar.top;
    }
    return area;
}

bool CMainFrame::ListAction(int, bool, appcore::CommandUi&) { return false; }

void CMainFrame::StartScan(bool withCheck, bool userStarted) {
    if (worker_) worker_->StartScan(withCheck, userStarted);
}

void CMainFrame::ShowTrayIcon(bool show) {
    platform::AppSettings().WriteFlag(setting::kShowTaskbarIcon, show);
    if (show == tray_.IsWanted()) return;
    if (show) {
        vnlog::Write(tray_.Show() ? "Notification-area icon shown"
                                  : "Notification-area icon could not be added yet; trying again");
    } else {
        tray_.Remove();
    }
}

void CMainFrame::RunCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
        case ID_ALREADY_RUNNING:
            vnlog::Write("Another start of the program was refused: already running");
            if (platform::AppSettings().ReadFlag(setting::kShowTaskbarIcon, setting::kShowTaskbarIconDefault)) {
                CErrorDlg::Show(instance_, window_, platform::LoadText(kAlreadyRunningTextId));
            } else {
                // The text points the user at the notification-area icon.
                // Without one, the window is the only way in: starting the
                // program again brings it up.
                ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
                SetForegroundWindow(window_);
            }
            break;
        case ID_APP_EXIT_CMD:
            Exit();
            break;
        case ID_CLOSE_WINDOW:
            // A command sent by another program obeys the enabling of the
            // menu item: without the icon there is no way back to a hidden window.
            if (!commands_ || appcore::CommandState(ID_CLOSE_WINDOW, commands_->Context()).enabled) OnClose();
            break;
        default:
            // Tray: "Updates" as the tray menu shows it; the rest is the
            // command table's, which runs a command only while it is enabled
            // (Scan Now from the tray waits for no worker and no refresh of
            // today's updates, as the menus do).
            if (trayUi_.OnCommand(LOWORD(wParam))) break;
            if (commands_) commands_->Run(LOWORD(wParam));
            FollowBusyState();  // the command may have started or stopped a worker
            break;
    }
}

void CMainFrame::OnClose() {
    // With the icon shown the window is only hidden: the icon stays the way
    // back. Without it, closing the window leaves the program.
    if (platform::AppSettings().ReadFlag(setting::kShowTaskbarIcon, setting::kShowTaskbarIconDefault))
        ShowWindow(window_, SW_HIDE);
    else
        Exit();
}

void CMainFrame::Exit() {
    if (exiting_) return;
    // An exit asked for while a stop waits is done when the stop ends.
    if (worker_ && worker_->stopInProgress) {
        worker_->exitPending = true;
        return;
    }
    exiting_ = true;
    vnlog::Write("Exit");
    // The download manager's transfers stop first, then the schedule.
    StopTransfers();
    if (timerRunning_) KillTimer(window_, kScheduleTimer);
    if (toolbarTimerRunning_) KillTimer(window_, kToolbarTimer);
    timerRunning_ = toolbarTimerRunning_ = false;
    // A running pass is asked to stop and given a few seconds, then ended;
    // the lists are saved only at whole steps and replaced atomically.
    if (worker_) worker_->StopForExit();
    // The engine keeps no library loaded between calls (each optional one is
    // released after its use), so there is none to release here.
    tray_.Remove();
    CErrorDlg::Close();
    CVarnelDlg::Close();
    CAboutDlg::Close();
    PostQuitMessage(0);
    if (window_) DestroyWindow(window_);
}

void CMainFrame::OnScheduleTimer() {
    if (scheduleTicks_++ == 0) {
        vnlog::Write("Schedule timer running");
        if (scanNow) schedule_.scanNow = true;
    }
    // A scheduled run that has ended: its check's outcome decides whether it
    // is tried again before the next interval.
    if (scheduledRunActive_ && !WorkerRunning()) {
        scheduledRunActive_ = false;
        engine::NoteScheduledCheckEnd(schedule_, worker_ && worker_->Engine().LastCheckFailed(),
                                      platform::CurrentTime());
    }
    engine::SchedulePass(schedule_, *this, platform::CurrentTime());
    scanNow = schedule_.scanNow;
}

void CMainFrame::FollowBusyState() {
    if (!commands_) return;
    commands_->UpdateToolbar();
    const bool busy = WorkerRunning() || (dailyRefresh_ && dailyRefresh_->Refresh().Running());
    if (busy && !toolbarTimerRunning_ && !exiting_)
        toolbarTimerRunning_ = SetTimer(window_, kToolbarTimer, kToolbarTimerMs, nullptr) != 0;
    else if (!busy && toolbarTimerRunning_) {
        KillTimer(window_, kToolbarTimer);
        toolbarTimerRunning_ = false;
    }
}

bool CMainFrame::IsConnected() { return engine::EngineSystem().IsConnected(); }

bool CMainFrame::WorkerRunning() const { return worker_ && worker_->IsWorkerRunning(); }

bool CMainFrame::IsWorkerRunning() {
    // For the schedule, an open report window counts too: it holds an item
    // that a scan could change or delete, so the pass waits for it.
    return WorkerRunning() || Views::CItemFeedbackDlg::IsAnyOpen();
}

void CMainFrame::StartScheduledScan() {
    nextScheduledScan_ = engine::NextScheduledScan(schedule_);
    scheduledRunActive_ = worker_ && worker_->StartScan(true, false);
}

void CMainFrame::SetScheduleTimerPeriod(uint32_t milliseconds) {
    if (SetTimer(window_, kScheduleTimer, milliseconds, nullptr)) timerRunning_ = true;
}

void CMainFrame::OnUpdateComplete(bool notify, bool success) {
    // Tray: the check summary (log line, balloon, pulse, sound, event log,
    // and the views reloaded through TrayRefreshViews).
    trayUi_.OnCheckComplete(notify, success);
}

void CMainFrame::TrayRefreshViews() {
    // The reply changed the items' versions and states.
    RefreshCounters();
    for (unsigned id : {ID_VIEW_SOFTWARE, ID_VIEW_DRIVERS}) ReloadView(id);
}

void CMainFrame::TrayOpenMyPage() {
    if (commands_) commands_->Run(ID_MY_PAGE);
}

std::string CMainFrame::TrayLoginError() { return watch_ ? watch_->GetLoginError() : std::string(); }

std::string CMainFrame::TrayScanDateText() { return watch_ ? watch_->GetScanDateText() : std::string(); }

void CMainFrame::TrayShowError(const std::string& text) { CErrorDlg::Show(instance_, window_, text); }

void CMainFrame::OnSetMessage(WPARAM block) {
    const std::string text = platform::TakeTextBlock(static_cast<uintptr_t>(block));
    if (text.empty()) return;
    lastErrorText_ = text;
    statusBar_.SetRedText(text);  // status bar: shown in red when the check ends
    platform::ReportMessage(FormatWithText(platform::LoadText(kSetMessageTextId), text), MB_ICONINFORMATION,
                            kSetMessageCaptionId, window_);
}

int CMainFrame::Show(platform::WindowHandle owner, const std::string& text, const std::string& caption,
                     unsigned style) {
    HWND parent = owner ? static_cast<HWND>(owner) : window_;
    return MessageBoxA(parent, text.c_str(), caption.c_str(), style);
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_;
    LRESULT result = 0;
    if (COneInstance::HandleMessage(window, message, wParam, lParam, result)) return result;
    // Tray: the icon's callback message, its timers and "TaskbarCreated".
    if (tray_.HandleMessage(message, wParam, lParam, result)) return result;

    const RegisteredMessages& m = Messages();
    if (message >= 0xC000) {
        if (message == m.exit) {
            Exit();
        } else if (message == m.registerCommand) {
            RunCommand(wParam, lParam);
        } else if (message == m.setMessage) {
            OnSetMessage(wParam);
        } else if (message == m.progress) {
            if (worker_) worker_->OnProgress(static_cast<int>(wParam), static_cast<int>(lParam));
            // Status bar: the phase display.
            statusBar_.OnPhase(static_cast<int>(wParam), static_cast<int>(lParam & 0xFF), worker_ && worker_->stopping);
            FollowBusyState();
        } else if (message == m.talkProgress) {
            statusBar_.OnTalkProgress(lParam);  // status bar: string 345 with the text
        } else if (message == m.updateComplete) {
            OnUpdateComplete((wParam & 0xFF) != 0, (lParam & 0xFF) != 0);
            FollowBusyState();
        } else if (message == m.taskbarCreated) {
            tray_.Restore();
        } else {
            // The views' notices; the tray callback belongs to the tray.
            return CMainViewCreation::OnMessage(message, wParam, lParam);
        }
        return 0;
    }

    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_COMMAND:
            RunCommand(wParam, lParam);
            return 0;
        case WM_INITMENUPOPUP: {
            // The tray menu (the one holding its own "About") was prepared by the
            // tray as it opened; the command table enables the other menus.
            const HMENU menu = reinterpret_cast<HMENU>(wParam);
            const bool trayMenu = GetMenuState(menu, ID_ABOUT_TRAY, MF_BYCOMMAND) != static_cast<UINT>(-1);
            if (commands_ && !trayMenu) commands_->UpdateMenu(menu);
            return 0;
        }
        case WM_NOTIFY: {
            LRESULT handled = 0;
            if (commands_ && commands_->OnNotify(*reinterpret_cast<const NMHDR*>(lParam), handled)) return handled;
            return CMainViewCreation::OnMessage(message, wParam, lParam);
        }
        case WM_SIZE:
            if (commands_) commands_->OnSize();
            statusBar_.OnParentSize();  // status bar: follows the frame's width
            return CMainViewCreation::OnMessage(message, wParam, lParam);
        case WM_TIMER:
            if (wParam == kScheduleTimer) OnScheduleTimer();
            if (wParam == kToolbarTimer) FollowBusyState();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_SYSCOLORCHANGE:
            // Only top-level windows hear of it: the lists, bars and panes
            // inside follow the new colours when it is passed on.
            platform::ForwardSysColorChange(window);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The process ends soon after this returns: leave cleanly now.
            if (wParam) {
                Exit();
                vnlog::Close();
            }
            return 0;
        case WM_APP + 1:
            return 0;
        case kQueryPrivateKiB:
            return static_cast<LRESULT>(platform::PrivateBytes() / 1024);
        case WM_DESTROY:
            if (timerRunning_) KillTimer(window, kScheduleTimer);
            if (toolbarTimerRunning_) KillTimer(window, kToolbarTimer);
            timerRunning_ = toolbarTimerRunning_ = false;
            tray_.Remove();
            PostQuitMessage(0);
            return CMainViewCreation::OnMessage(message, wParam, lParam);
        default: return CMainViewCreation::OnMessage(message, wParam, lParam);
    }
}

}  // namespace app
