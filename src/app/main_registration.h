// CMainRegistration: the bottom layer of the main window. It registers the
// window class "Varnel", creates the window at its stored placement with its
// stored styles, routes every message to the layers above, and declares the
// frame's own operations that other parts call: RunCommand, StartScan, Exit
// and ShowTrayIcon.
//
// The layers, from the most derived: CMainEvents (list-action commands) ->
// CMainActions (download manager window, update question, self-update) ->
// CMainFrame (tray, status bar, toolbar and menus, schedule, scan worker) ->
// CMainViewCreation (client layout, task pane, views, preview pane) ->
// CMainRegistration. Each layer's OnMessage handles what it owns and passes
// the rest down.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace app {

class CMainRegistration {
public:
    virtual ~CMainRegistration();
    CMainRegistration(const CMainRegistration&) = delete;
    CMainRegistration& operator=(const CMainRegistration&) = delete;

    // Handles a command id and parameter exactly as WM_COMMAND does.
    virtual void RunCommand(WPARAM wParam, LPARAM lParam) = 0;
    // Starts a scan, followed by a check when `withCheck`.
    virtual void StartScan(bool withCheck, bool userStarted) = 0;
    // Leaves the program. Does nothing the second time.
    virtual void Exit() = 0;
    // Stores "Show Taskbar Icon" and shows or removes the icon when that changes.
    virtual void ShowTrayIcon(bool show) = 0;

    HWND Window() const { return window_; }

protected:
    explicit CMainRegistration(HINSTANCE instance) : instance_(instance) {}

    // Registers the class (once per process) and creates the window, hidden,
    // with the given title. WM_CREATE reaches OnMessage before this returns.
    bool CreateFrameWindow(const std::string& title);
    // Messages no layer handled.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Destroys the window while the layers that handle its last messages
    // still exist (called by the destructor of the layer that owns them).
    void DestroyFrameWindow();

    HINSTANCE instance_;
    HWND window_ = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace app
