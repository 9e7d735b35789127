// CMainFrame: the layer of the main window that talks to the rest of the
// program. It is the target of the registered messages that other threads and
// processes post, owns the notification-area icon with its menu and balloons
// (app/tray_ui.h), the status bar (app/status_bar.h), the menu bar and toolbar
// with the command table (app/frame_commands.h), answers the one-instance
// question, runs the one-second schedule timer and owns the scan worker that
// runs the scan engine over the lists.
//
// Start-up creates the window hidden and it stays so. The most derived layer,
// the one to construct, is CMainEvents (app/main_events.h).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "app/frame_commands.h"
#include "app/main_view_creation.h"
#include "app/scan_worker.h"
#include "app/status_bar.h"
#include "app/tray_icon.h"
#include "app/tray_ui.h"
#include "engine/schedule.h"
#include "platform/message_reporter.h"
#include "service/scan_report_service.h"

namespace app {

class CMainFrame : public CMainViewCreation,
                   public platform::IMessagePresenter,
                   private engine::IScheduleHost,
                   private ITrayHost {
public:
    static constexpr UINT_PTR kScheduleTimer = 1000;
    // Runs only while a worker or today's-updates refresh runs: the toolbar's
    // Scan and Stop follow it, and it ends with them.
    static constexpr UINT_PTR kToolbarTimer = 1004;  // the tray uses 1001 and 1003
    static constexpr UINT kToolbarTimerMs = 500;
    static constexpr UINT kScheduleFirstDelayMs = 1000;
    // Sent by support tools (varnelctl memory): answers the process's private
    // bytes in KiB, as its own counters report them (under Wine, which keeps
    // no such counter, the sum of its committed private regions).
    static constexpr UINT kQueryPrivateKiB = WM_APP + 2;

    ~CMainFrame() override;

    // Registers the window class and creates the window, hidden, with its
    // lists, views and worker.
    bool Create();
    // The end of start-up: starts timer 1000 (reporting "Error: System out of
    // timers!" when none can be had).
    void FinishStartup();

    void RunCommand(WPARAM wParam, LPARAM lParam) override;
    void StartScan(bool withCheck, bool userStarted) override;
    // Leaves the program: stops the transfers, kills the timer, ends a running
    // worker, removes the icon, ends the message loop and destroys the window.
    void Exit() override;
    void ShowTrayIcon(bool show) override;

    // The last error text a worker reported ("WM_Varnel10_SetMessage").
    const std::string& LastErrorText() const { return lastErrorText_; }
    unsigned ScheduleTicks() const { return scheduleTicks_; }

    CScanWorker* Worker() { return worker_.get(); }
    // The frame's `scanning` flag: set by the start of a check, cleared by its end.
    bool Scanning() const { return worker_ && worker_->scanning; }
    const engine::ScheduleState& Schedule() const { return schedule_; }
    // The command table's part of the frame (menus, toolbar, pages, views).
    CFrameCommands* Commands() { return commands_.get(); }
    // Tray: the icon, its menu and balloons; the status bar.
    CTrayIcon& Tray() { return tray_; }
    CTrayUi& TrayUi() { return trayUi_; }
    CStatusProgBar& StatusBar() { return statusBar_; }

    // Message boxes of the message reporter appear only while this is true;
    // start-up leaves it false.
    bool interactive = false;
    // Set from the "scannow" option: one check shortly after start-up.
    bool scanNow = false;

    // platform::IMessagePresenter
    bool Interactive() const override { return interactive && window_ != nullptr; }
    int Show(platform::WindowHandle owner, const std::string& text, const std::string& caption,
             unsigned style) override;

protected:
    explicit CMainFrame(HINSTANCE instance) : CMainViewCreation(instance) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    RECT FreeClientArea() override;

    // ---- what the layers above add
    // Creates their windows and state once the worker exists.
    virtual void CreateActions() {}
    // Exit: the download manager stops its transfers.
    virtual void StopTransfers() {}
    // The self-update's state and whether a question about a program update is on screen.
    virtual uint32_t UpdateState() { return 0; }
    virtual bool AskingAboutUpdate() { return false; }
    // A list action (index in the command table's order) performed (`run`)
    // or asked for its state; false when there is no current view.
    virtual bool ListAction(int index, bool run, appcore::CommandUi& ui);
    // Ends the worker before the layers it calls into go.
    void EndWorker() { worker_.reset(); }

    std::unique_ptr<CFrameCommands> commands_;
    std::unique_ptr<CScanWorker> worker_;
    engine::ScheduleState schedule_;

private:
    void OnCreate();
    void OnClose();
    void OnScheduleTimer();
    // The toolbar follows whether a worker or refresh runs (kToolbarTimer).
    void FollowBusyState();
    void OnSetMessage(WPARAM block);
    void OnUpdateComplete(bool notify, bool success);

    bool WorkerRunning() const;

    // engine::IScheduleHost
    bool IsConnected() override;
    bool IsWorkerRunning() override;
    uint32_t SelfUpdateState() override { return UpdateState(); }
    void StartScheduledScan() override;
    void SetScheduleTimerPeriod(uint32_t milliseconds) override;

    // ITrayHost
    bool TrayWorkerRunning() override { return WorkerRunning(); }
    std::string TrayLoginError() override;
    uint32_t TraySelfUpdateState() override { return UpdateState(); }
    bool TrayAskingAboutUpdate() override { return AskingAboutUpdate(); }
    void TrayOpenMyPage() override;
    std::string TrayScanDateText() override;
    void TrayShowError(const std::string& text) override;
    void TrayRefreshViews() override;

    CTrayIcon tray_;
    CTrayUi trayUi_{tray_, *this};
    CStatusProgBar statusBar_;
    bool timerRunning_ = false;
    bool toolbarTimerRunning_ = false;
    bool exiting_ = false;
    unsigned scheduleTicks_ = 0;
    bool scheduledRunActive_ = false;  // a scheduled run started and has not been seen to end
    std::string lastErrorText_;
    // The scan-report service: installed for the process while the frame lives.
    std::unique_ptr<vnxml::CScanReportService> reports_;
    // Read by the worker when it writes the check request.
    std::atomic<int64_t> nextScheduledScan_{0};
};

}  // namespace app
