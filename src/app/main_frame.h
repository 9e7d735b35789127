// CMainFrame: the program's hidden main window (class "Varnel"). It is the
// target of the registered messages that other threads and processes post,
// owns the notification-area icon, answers the one-instance question and runs
// the one-second schedule timer. Start-up creates it hidden and it stays so.
//
// Built so far: creation, the registered messages that need no other part
// (IsMe, Exit, Register, SetMessage, TaskbarCreated, WM_COPYDATA), commands
// 32879 (already running), 32771 (Exit) and 32816 (Close Window), the close
// and end-of-session rules, the tray icon itself (added again by a retry timer
// and on "TaskbarCreated" when the shell was not ready) and timer 1000. The views,
// toolbar, status bar, tray menu, settings sheet and the scheduled pass that
// the timer drives are not built yet.
#pragma once

#include <string>

#include "app/tray_icon.h"
#include "platform/message_reporter.h"
#include "platform/win/win.h"

namespace app {

class CMainFrame : public platform::IMessagePresenter {
public:
    static constexpr UINT_PTR kScheduleTimer = 1000;
    static constexpr UINT kScheduleFirstDelayMs = 1000;

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

    HINSTANCE instance_;
    HWND window_ = nullptr;
    CTrayIcon tray_;
    bool timerRunning_ = false;
    bool exiting_ = false;
    unsigned scheduleTicks_ = 0;
    std::string lastErrorText_;
};

}  // namespace app
