// CTrayIcon: the program's notification-area icon (identifier 134, which is
// also its icon resource, its tooltip string and its menu). It owns the
// shell's icon record: icon, tooltip (at most 128 bytes), balloon text and
// title (at most 256 and 64 bytes, cut at a character boundary to fit), and
// carries out the mouse events of its callback message
// ("WM_Varnel10_NOTIFCATION") as engine/tray_model.h decides them.
//
// Instead of hooking the window procedure, the window that owns the icon
// forwards its messages to HandleMessage first: the callback message, the
// icon's timers and "TaskbarCreated". The window is a top-level one, so no
// second hook on a parent is needed.
//
// Whether the user wants the icon and whether the shell shows it are kept
// apart: at logon the shell may not take icons yet, so an add that fails is
// tried again on a timer (a few times, waiting longer each time) and whenever
// the shell announces a new taskbar ("TaskbarCreated").
#pragma once

#include <functional>
#include <string>

#include "platform/win/win.h"

#include <shellapi.h>

namespace app {

class CTrayIcon {
public:
    static constexpr UINT kId = 134;
    // The pulse animation's timer (100 ms) of the attached window.
    static constexpr UINT_PTR kPulseTimer = 1001;
    // The timer of the attached window that retries a failed add.
    static constexpr UINT_PTR kRetryTimer = 1003;
    // The retries of a failed add wait 2, 4, 8, 16 and 32 seconds.
    static constexpr UINT kFirstRetryDelayMs = 2000;
    static constexpr int kRetries = 5;

    // The shell's Shell_NotifyIconA (tests put a shell in between).
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

    // The icon shown: one of the program's icon resources.
    bool SetIcon(int resourceId);
    // Replaces the tooltip (cut to 127 bytes).
    bool SetTooltip(const std::string& text);
    // A balloon: kind 0 none, 1 information, 2 warning, 3 error (others:
    // information); the title and text are cut to fit their fields.
    bool ShowBalloon(const std::string& title, const std::string& text, int kind, UINT timeoutMs);

    // The pulse: icons 159-190 in turn every 100 ms until StopPulse, which
    // puts icon 134 back.
    void StartPulse();
    void StopPulse();
    bool IsPulsing() const { return pulsing_; }

    // The messages of the attached window that belong to the icon; true when
    // handled (with `result` set).
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Called with the tray menu just before it is shown.
    std::function<void(HMENU)> prepareMenu;
    // Called on every mouse move over the icon.
    std::function<void()> mouseMoved;
    // The self-update state (1: a new version waits for the user's click).
    std::function<uint32_t()> selfUpdateState;
    // A click on the balloon.
    std::function<void()> balloonClicked;

    // The balloon guard, process-wide: set while a balloon is up and for
    // 500 ms after it goes.
    static bool BalloonUp();

    bool IsWanted() const { return wanted_; }
    bool IsShown() const { return shown_; }
    const std::string& Tooltip() const { return tooltip_; }
    int IconId() const { return iconId_; }

private:
    bool Add();
    bool Modify(NOTIFYICONDATAA& data);
    void ScheduleRetry();
    void StopRetry();
    void OnCallback(LPARAM event);
    void OnBalloonGone();
    void ShowMenu();
    HICON LoadSmallIcon(int resourceId) const;

    ShellCall shell_;
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;  // shared resource icons: never destroyed
    int iconId_ = kId;
    std::string tooltip_;
    bool wanted_ = false;
    bool shown_ = false;
    bool retryPending_ = false;
    int retriesDone_ = 0;
    bool pulsing_ = false;
    int pulseFrame_ = 0;
};

}  // namespace app
