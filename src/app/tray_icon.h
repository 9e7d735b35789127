// CTrayIcon: the program's notification-area icon (identifier 134, which is
// also its icon resource and its tooltip string). This holds the icon itself:
// shown or removed on request, added again when the taskbar is re-created,
// removed by the destructor. The menu, balloons and animation build on it.
//
// Whether the user wants the icon and whether the shell shows it are kept
// apart: at logon the shell may not take icons yet, so an add that fails is
// tried again on a timer (a few times, waiting longer each time) and whenever
// the shell announces a new taskbar ("TaskbarCreated").
#pragma once

#include "platform/win/win.h"

#include <shellapi.h>

namespace app {

class CTrayIcon {
public:
    static constexpr UINT kId = 134;
    // The timer of the attached window that retries a failed add; its owner
    // passes WM_TIMER with this id to OnRetryTimer.
    static constexpr UINT_PTR kRetryTimer = 1001;
    // The retries of a failed add wait 2, 4, 8, 16 and 32 seconds.
    static constexpr UINT kFirstRetryDelayMs = 2000;
    static constexpr int kRetries = 5;

    // The shell's Shell_NotifyIconA (tests put a shell in between that refuses).
    using ShellCall = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);

    explicit CTrayIcon(ShellCall shell = &::Shell_NotifyIconA) : shell_(shell) {}
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The window that receives `callbackMessage` for mouse events on the icon.
    void Attach(HINSTANCE instance, HWND window, UINT callbackMessage);
    // The user wants the icon: adds it with its tooltip (or updates it when
    // already shown). False when the shell refused; the add is retried then.
    bool Show();
    // The user does not want the icon: removes it and stops the retries.
    void Remove();
    // After "TaskbarCreated": the new taskbar has none of the old icons, so
    // the icon is added again when the user wants it.
    void Restore();
    // The retry timer elapsed: tries the add again while it is still missing.
    void OnRetryTimer();

    bool IsWanted() const { return wanted_; }
    bool IsShown() const { return shown_; }

private:
    bool Add();
    void ScheduleRetry();
    void StopRetry();

    ShellCall shell_;
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;  // shared resource icon: never destroyed
    bool wanted_ = false;
    bool shown_ = false;
    bool retryPending_ = false;
    int retriesDone_ = 0;
};

}  // namespace app
