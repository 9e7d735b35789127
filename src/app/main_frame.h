// CMainFrame: the program's hidden main window (class "Varnel"). It is the
// target of the registered messages that other threads and processes post,
// owns the notification-area icon, answers the one-instance question and runs
// the one-second schedule timer. Start-up creates it hidden and it stays so.
//
// It owns the program's two lists (the watch list and the driver list, loaded
// from their files when the window is created) and the scan worker that runs
// the scan engine over them; timer 1000 drives the scheduled pass.
//
// Built so far: creation, the registered messages that need no other part
// (IsMe, Exit, Register, SetMessage, TaskbarCreated, WM_COPYDATA), the
// engine's progress and completion notices, commands 32879 (already
// running), 32771 (Exit), 32816 (Close Window), 32892 (Scan Now) and 32893
// (Stop Scan), the close and end-of-session rules, the tray icon itself (added
// again by a retry timer and on "TaskbarCreated" when the shell was not
// ready) and the scheduled pass; the tray's menu, tooltip, balloons and check
// summary (app/tray_ui.h) and the status bar (app/status_bar.h). The views,
// toolbar and settings sheet are not built yet.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "app/daily_refresh.h"
#include "app/frame_commands.h"
#include "app/scan_worker.h"
#include "app/status_bar.h"
#include "app/tray_icon.h"
#include "app/tray_ui.h"
#include "dlmgr/self_update.h"
#include "dlmgr/win/download_manager_dlg.h"
#include "dlmgr/win/self_update_host.h"
#include "engine/schedule.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/message_reporter.h"
#include "platform/win/win.h"
#include "service/scan_report_service.h"
#include "views/win/list_view_ex.h"

namespace app {

class CMainFrame : public platform::IMessagePresenter, private engine::IScheduleHost, private ITrayHost {
public:
    static constexpr UINT_PTR kScheduleTimer = 1000;
    static constexpr UINT kScheduleFirstDelayMs = 1000;
    // Sent by support tools (varnelctl memory): answers the process's private
    // bytes in KiB, as its own counters report them (under Wine, which keeps
    // no such counter, the sum of its committed private regions).
    static constexpr UINT kQueryPrivateKiB = WM_APP + 2;

    explicit CMainFrame(HINSTANCE instance) : instance_(instance) {}
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Registers the window class and creates the window, hidden.
    bool Create();
    // The end of start-up: starts timer 1000 (reporting "Error: System out of
    // timers!" when none can be had).
    void FinishStartup();

    HWND Window() const { return window_; }

    // Handles a command id and parameter exactly as WM_COMMAND does.
    void RunCommand(WPARAM wParam, LPARAM lParam);
    // Leaves the program: kills the timer, removes the icon, closes the window
    // and ends the message loop. Does nothing the second time.
    void Exit();
    // Stores "Show Taskbar Icon" and shows or removes the icon when that changes.
    void ShowTrayIcon(bool show);

    // The last error text a worker reported ("WM_Varnel10_SetMessage").
    const std::string& LastErrorText() const { return lastErrorText_; }
    unsigned ScheduleTicks() const { return scheduleTicks_; }

    // The program's lists and its scan worker; null before Create.
    VN_WatchList* WatchList() { return watch_.get(); }
    Views::CDriverData* DriverList() { return drivers_.get(); }
    CScanWorker* Worker() { return worker_.get(); }
    // The download manager window (hidden until shown) and the self-update.
    dlmgr::CDownloadManagerDlg* Downloads() { return downloads_.get(); }
    dlmgr::CSelfUpdate* SelfUpdate() { return selfUpdate_.get(); }
    // The frame's `scanning` flag: set by the start of a check, cleared by its end.
    bool Scanning() const { return worker_ && worker_->scanning; }
    const engine::ScheduleState& Schedule() const { return schedule_; }
    // The command table's part of the frame (menus, toolbar, pages, views).
    CFrameCommands* Commands() { return commands_.get(); }
    // The view of a view command, created on first use (null before the
    // lists exist or when its creation failed), and the current view.
    Views::CListViewEx* View(unsigned id);
    Views::CListViewEx* CurrentView();
    // The lists of today's updates, the download history and the search
    // results, held in memory until their owners fill them.
    VN_ListBase* DailyList() { return daily_.get(); }
    VN_ListBase* HistoryList() { return history_.get(); }
    VN_ListBase* SearchList() { return search_.get(); }
    CDailyRefresh* DailyRefresh() { return dailyRefresh_.get(); }
    // Tray: the icon, its menu and balloons; the status bar.
    CTrayIcon& Tray() { return tray_; }
    CTrayUi& TrayUi() { return trayUi_; }
    CStatusProgBar& StatusBar() { return statusBar_; }
    // Set while a question about a program update is on screen besides the
    // self-update's own (which CSelfUpdate::Asking tells): the tray menu's
    // "Exit" and "Scan Now" are disabled meanwhile.
    bool askingAboutUpdate = false;

    // Message boxes of the message reporter appear only while this is true;
    // start-up leaves it false.
    bool interactive = false;
    // Set from the "scannow" option: one check shortly after start-up.
    bool scanNow = false;

    // platform::IMessagePresenter
    bool Interactive() const override { return interactive && window_ != nullptr; }
    int Show(platform::WindowHandle owner, const std::string& text, const std::string& caption,
             unsigned style) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnClose();
    void OnScheduleTimer();
    void OnSetMessage(WPARAM block);
    void OnUpdateComplete(bool notify, bool success);

    // engine::IScheduleHost
    bool IsConnected() override;
    bool IsWorkerRunning() override;
    uint32_t SelfUpdateState() override { return selfUpdate_ ? selfUpdate_->State() : 0; }
    void StartScheduledScan() override;
    void SetScheduleTimerPeriod(uint32_t milliseconds) override;

    // Shows the view of `id` and hides the others.
    void ShowView(unsigned id);
    // Places the current view in the client area below the toolbar.
    void LayoutView();
    bool ListAction(int index, bool run, appcore::CommandUi& ui);
    // ITrayHost
    bool TrayWorkerRunning() override { return IsWorkerRunning(); }
    std::string TrayLoginError() override;
    uint32_t TraySelfUpdateState() override { return SelfUpdateState(); }
    bool TrayAskingAboutUpdate() override { return askingAboutUpdate || (selfUpdate_ && selfUpdate_->Asking()); }
    void TrayOpenMyPage() override;
    std::string TrayScanDateText() override;
    void TrayShowError(const std::string& text) override;
    void TrayRefreshViews() override;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    std::unique_ptr<CFrameCommands> commands_;
    CTrayIcon tray_;
    CTrayUi trayUi_{tray_, *this};
    CStatusProgBar statusBar_;
    bool timerRunning_ = false;
    bool exiting_ = false;
    unsigned scheduleTicks_ = 0;
    std::string lastErrorText_;
    std::unique_ptr<VN_WatchList> watch_;
    std::unique_ptr<Views::CDriverData> drivers_;
    std::unique_ptr<VN_ListBase> daily_;
    std::unique_ptr<VN_ListBase> history_;
    std::unique_ptr<VN_ListBase> search_;
    std::unique_ptr<CScanWorker> worker_;
    std::unique_ptr<CDailyRefresh> dailyRefresh_;  // today's updates (app/daily_refresh.h)
    // The scan-report service: installed for the process while the frame lives.
    std::unique_ptr<vnxml::CScanReportService> reports_;
    std::map<unsigned, std::unique_ptr<Views::CListViewEx>> views_;
    unsigned shownView_ = 0;
    engine::ScheduleState schedule_;
    // Read by the worker when it writes the check request.
    std::atomic<int64_t> nextScheduledScan_{0};
    // ---- downloads and self-update (dlmgr)
    std::unique_ptr<dlmgr::CDownloadManagerDlg> downloads_;
    std::unique_ptr<dlmgr::CSelfUpdateHostWin> selfUpdateHost_;
    std::unique_ptr<dlmgr::CSelfUpdate> selfUpdate_;
};

}  // namespace app
