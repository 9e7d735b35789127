#include "app/main_frame.h"

#include <psapi.h>

#include "app/about_dialog.h"
#include "app/account_contact_worker.h"
#include "app/app_messages.h"
#include "app/error_dialog.h"
#include "app/one_instance.h"
#include "app/settings_sheet.h"
#include "appcore/window_placement.h"
#include "engine/engine_system.h"
#include "inventory/database.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/post_safe.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text_block.h"
#include "platform/win/handles.h"
#include "resource.h"
#include "service/scan_report.h"
#include "service/win/rest_session_msxml.h"
#include "views/search_data.h"
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
    // The worker uses the lists, the report service and the self-update: it goes first.
    worker_.reset();
    dailyRefresh_.reset();
    views_.clear();
    downloads_.reset();
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
    if (window_) DestroyWindow(window_);
}

bool CMainFrame::Create() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(instance_, COneInstance::kWindowClass, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance_;
        wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDR_MAINFRAME));
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = COneInstance::kWindowClass;
        if (!RegisterClassExA(&wc)) return false;
    }
    const std::string title = platform::LoadText(57344);
    // Placement and styles may be set by an administrator; the program only
    // reads them. A stored style never makes the frame disabled, a child
    // (which cannot exist without a parent) or visible before start-up ends.
    const platform::Settings& settings = platform::AppSettings();
    const appcore::WindowRect rect =
        appcore::MainWindowRect(settings, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const DWORD style = settings.ReadNumber(setting::kWindowStyle, WS_OVERLAPPEDWINDOW) &
                        ~static_cast<DWORD>(WS_DISABLED | WS_CHILD | WS_VISIBLE);
    const DWORD extendedStyle = settings.ReadNumber(setting::kWindowExtendedStyle, 0);
    window_ = CreateWindowExA(extendedStyle, COneInstance::kWindowClass, title.c_str(), style, rect.left, rect.top,
                              rect.width, rect.height, nullptr, nullptr, instance_, this);
    if (!window_) return false;
    platform::InstallMessagePresenter(this);
    // The lists live for the whole process, loaded once from their files.
    const std::string dataFolder = platform::DataFolder();
    watch_ = std::make_unique<VN_WatchList>(dataFolder);
    watch_->Init();
    drivers_ = std::make_unique<Views::CDriverData>(dataFolder);
    drivers_->Load();
    daily_ = std::make_unique<VN_ListBase>(dataFolder + inventory::dbfile::kDailyUpdates);
    daily_->Load();
    history_ = std::make_unique<VN_ListBase>();
    search_ = std::make_unique<Views::CSearchData>();
    // Today's updates: refreshed after each check (logic in app/daily_refresh.h).
    dailyRefresh_ = std::make_unique<CDailyRefresh>(instance_, *daily_, [this] {
        if (auto found = views_.find(ID_VIEW_DAILY); found != views_.end() && found->second) found->second->Reload();
    });
    vnlog::Write("Lists loaded: " + std::to_string(watch_->GetCount()) + " watch-list entries, " +
                 std::to_string(drivers_->GetCount()) + " drivers");
    // The scan-report service reads "IpapiLink URL", which config.xml (read
    // by Init above) may have just set. It lives as long as the frame; one
    // installed before (by a test) is left in place.
    if (!vnxml::ScanReportService()) {
        reports_ = std::make_unique<vnxml::CScanReportService>(vnxml::MakeMsxmlRestSessions());
        if (reports_->Start(vnxml::ReadScanReportOptions(platform::AppSettings(), dataFolder)))
            vnxml::InstallScanReportService(reports_.get());
    }
    worker_ = std::make_unique<CScanWorker>(instance_, *watch_, *drivers_);
    worker_->SetFrameWindow(window_);
    worker_->performExit = [this] { Exit(); };
    worker_->Engine().nextScheduledScan = [this] { return nextScheduledScan_.load(); };
    if (commands_) {
        commands_->SetWorker(worker_.get());
        ShowView(commands_->CurrentView());
    }
    CVarnelDlg::Callbacks().frequencyChanged = [this](uint32_t frequency) { schedule_.frequency = frequency; };
    // The contact runs on its own thread; the frame does not wait for it.
    CVarnelDlg::Callbacks().registerAgain = [this] { StartAccountContact(nullptr, nextScheduledScan_.load()); };

    // Downloads and self-update: the download manager window, created hidden,
    // and the pre-scan's question whether an agent update is handled now.
    downloads_ = std::make_unique<dlmgr::CDownloadManagerDlg>();
    if (!downloads_->Create(instance_, window_)) vnlog::Write("The download manager window could not be created");
    selfUpdateHost_ = std::make_unique<dlmgr::CSelfUpdateHostWin>(window_, *downloads_, [this](bool on) {
        schedule_.scanNow = on;
        scanNow = on;
    });
    selfUpdate_ = std::make_unique<dlmgr::CSelfUpdate>(*selfUpdateHost_);
    downloads_->SetSelfUpdate(selfUpdate_.get());
    if (commands_) commands_->showDownloadManager = [this] { downloads_->Show(); };
    downloads_->showOptions = [this] { CVarnelDlg::Show(instance_, window_, interactive); };
    worker_->Engine().installClientUpdateNow = [this] { return selfUpdate_->CheckClientUpdate(worker_->userStarted); };
    schedule_.frequency = settings.ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault);
    // Workers post their texts to this window from now on.
    platform::SetMainWindow(window_);
    return true;
}

void CMainFrame::FinishStartup() {
    // The task pane counters come with the task pane.
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

Views::CListViewEx* CMainFrame::View(unsigned id) {
    auto found = views_.find(id);
    if (found != views_.end()) return found->second.get();
    if (!watch_ || !window_) return nullptr;
    std::unique_ptr<Views::CListViewEx> view;
    switch (id) {
        case ID_VIEW_SOFTWARE: view = std::make_unique<Views::CWatchListView>(*watch_); break;
        case ID_VIEW_DRIVERS: view = std::make_unique<Views::CDriverView>(*drivers_); break;
        case ID_VIEW_DAILY: view = std::make_unique<Views::CDailyUpdatesView>(*daily_); break;
        case ID_VIEW_HISTORY: view = std::make_unique<Views::CDownloadHisView>(*history_); break;
        case ID_VIEW_SEARCH: view = std::make_unique<Views::CSearchView>(*search_); break;
        default: return nullptr;
    }
    if (!view->Create(instance_, window_)) {
        // A view that cannot be made is kept as missing: its commands do nothing.
        vnlog::Write("*** Could not create the list view " + std::to_string(id));
        views_[id] = nullptr;
        return nullptr;
    }
    view->Reload();
    return (views_[id] = std::move(view)).get();
}

Views::CListViewEx* CMainFrame::CurrentView() { return commands_ ? View(commands_->CurrentView()) : nullptr; }

void CMainFrame::ShowView(unsigned id) {
    Views::CListViewEx* view = View(id);
    if (!view) return;  // before the lists exist, Create shows it
    for (auto& [key, other] : views_) {
        if (other && key != id && key == shownView_) {
            other->SaveColumnWidths();
            other->Show(false);
        }
    }
    // A view taking over shows its list as it is now.
    if (shownView_ != id) view->Reload();
    shownView_ = id;
    LayoutView();
    view->Show(true);
}

void CMainFrame::LayoutView() {
    auto found = views_.find(shownView_);
    if (found == views_.end() || !found->second) return;
    RECT area{};
    GetClientRect(window_, &area);
    if (commands_ && commands_->ToolbarVisible()) {
        RECT bar{};
        GetWindowRect(commands_->Toolbar(), &bar);
        area.top += bar.bottom - bar.top;
    }
    // The status bar keeps the bottom of the client area.
    if (const HWND status = statusBar_.Window(); status && IsWindowVisible(status)) {
        RECT bar{};
        GetWindowRect(status, &bar);
        area.bottom -= bar.bottom - bar.top;
    }
    if (area.bottom < area.top) area.bottom = area.top;
    found->second->Move(area);
}

bool CMainFrame::ListAction(int index, bool run, appcore::CommandUi& ui) {
    Views::CListViewEx* view = CurrentView();
    if (!view || index < 0) return false;
    if (run) view->DoAction(index);
    else ui = view->ActionState(index);
    return true;
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
            CErrorDlg::Show(instance_, window_, platform::LoadText(kAlreadyRunningTextId));
            break;
        case ID_APP_EXIT_CMD:
            Exit();
            break;
        case ID_CLOSE_WINDOW:
            OnClose();
            break;
        case ID_SCAN_NOW:
            if (worker_) worker_->StartScan(true, true);
            break;
        case ID_STOP_SCAN:
            if (worker_) worker_->StopWorker();
            break;
        default:
            // Tray: "Updates" as the tray menu shows it; the rest is the command table's.
            if (trayUi_.OnCommand(LOWORD(wParam))) break;
            if (commands_) commands_->Run(LOWORD(wParam));
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
    if (timerRunning_) KillTimer(window_, kScheduleTimer);
    timerRunning_ = false;
    // A running pass is asked to stop and given a few seconds; the lists are
    // saved only at whole steps and replaced atomically.
    if (worker_) worker_->StopForExit();
    if (downloads_) downloads_->StopAll();
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
    engine::SchedulePass(schedule_, *this, platform::CurrentTime());
    scanNow = schedule_.scanNow;
}

bool CMainFrame::IsConnected() { return engine::EngineSystem().IsConnected(); }

bool CMainFrame::IsWorkerRunning() { return worker_ && worker_->IsWorkerRunning(); }

void CMainFrame::StartScheduledScan() {
    nextScheduledScan_ = engine::NextScheduledScan(schedule_);
    if (worker_) worker_->StartScan(true, false);
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
    for (unsigned id : {ID_VIEW_SOFTWARE, ID_VIEW_DRIVERS})
        if (auto found = views_.find(id); found != views_.end() && found->second) found->second->Reload();
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

LRESULT CALLBACK CMainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CMainFrame* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    // Nothing may escape a window procedure.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        vnlog::Warning("CMainFrame::WindowProc", true);
        return 0;
    }
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
        } else if (message == m.talkProgress) {
            statusBar_.OnTalkProgress(lParam);  // status bar: string 345 with the text
        } else if (message == m.updateComplete) {
            OnUpdateComplete((wParam & 0xFF) != 0, (lParam & 0xFF) != 0);
        } else if (message == m.autoUpdateNotify) {
            if (selfUpdate_) selfUpdate_->OnAutoUpdateNotify();
        } else if (message == m.taskbarCreated) {
            tray_.Restore();
        } else if (message == m.updateItem) {
            // A scan added or changed an item of the watch list: the software
            // view shows it at once.
            if (auto found = views_.find(ID_VIEW_SOFTWARE); found != views_.end() && found->second)
                found->second->Reload();
        } else if (message == m.startDailyUpdates) {
            if (dailyRefresh_) dailyRefresh_->Start();
        } else if (message == m.startDriverSearch) {
            if (auto found = views_.find(ID_VIEW_DRIVERS); found != views_.end() && found->second)
                found->second->Clear();
        } else if (message == m.endDriverSearch) {
            if (auto found = views_.find(ID_VIEW_DRIVERS); found != views_.end() && found->second)
                found->second->Reload();
        }
        // The preview pane takes "WM_Varnel10_HtmlCreated"; there is none yet.
        // The tray callback and the status text belong to the tray.
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
            return DefWindowProcA(window, message, wParam, lParam);
        }
        case WM_SIZE:
            if (commands_) commands_->OnSize();
            statusBar_.OnParentSize();  // status bar: follows the frame's width
            LayoutView();
            return 0;
        case WM_TIMER:
            if (wParam == kScheduleTimer) OnScheduleTimer();
            return 0;
        case WM_CLOSE:
            OnClose();
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
        case kQueryPrivateKiB: {
            PROCESS_MEMORY_COUNTERS_EX counters{};
            counters.cb = sizeof counters;
            if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                     sizeof counters) &&
                counters.PrivateUsage != 0)
                return static_cast<LRESULT>(counters.PrivateUsage / 1024);
            // Wine keeps no private-bytes counter: add up the committed
            // private regions of the address space instead.
            SIZE_T committed = 0;
            MEMORY_BASIC_INFORMATION region{};
            for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
                 at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
                if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
            }
            return static_cast<LRESULT>(committed / 1024);
        }
        case WM_DESTROY:
            // The views' controls go with the window: keep their widths first.
            for (auto& entry : views_)
                if (entry.second) entry.second->SaveColumnWidths();
            if (timerRunning_) KillTimer(window, kScheduleTimer);
            timerRunning_ = false;
            tray_.Remove();
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            window_ = nullptr;
            return DefWindowProcA(window, message, wParam, lParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace app
