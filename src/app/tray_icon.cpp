#include "app/tray_icon.h"

#include <cstring>

#include "app/app_messages.h"
#include "engine/tray_model.h"
#include "platform/log.h"
#include "platform/string_table.h"

namespace app {
namespace {

// The balloon guard is process-wide, as the shell's balloon is.
bool g_balloonUp = false;
UINT_PTR g_guardTimer = 0;

void CALLBACK GuardElapsed(HWND, UINT, UINT_PTR, DWORD) {
    if (g_guardTimer) KillTimer(nullptr, g_guardTimer);
    g_guardTimer = 0;
    g_balloonUp = false;
}

void CopyField(char* field, size_t fieldBytes, const std::string& text) {
    const std::string fitted = engine::FitToField(text, fieldBytes);
    std::memcpy(field, fitted.c_str(), fitted.size() + 1);
}

}  // namespace

bool CTrayIcon::BalloonUp() { return g_balloonUp; }

HICON CTrayIcon::LoadSmallIcon(int resourceId) const {
    return static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         LR_DEFAULTCOLOR | LR_SHARED));
}

void CTrayIcon::Attach(HINSTANCE instance, HWND window, UINT callbackMessage) {
    instance_ = instance;
    window_ = window;
    callbackMessage_ = callbackMessage;
    // Run as administrator, the agent would not hear the user's Explorer
    // announce a new taskbar: the system drops messages sent to a more
    // privileged process unless its window lets them through (Windows 7 on).
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
    if (HMODULE user = GetModuleHandleA("user32.dll")) {
        if (auto filter = reinterpret_cast<FilterFn>(
                reinterpret_cast<void*>(GetProcAddress(user, "ChangeWindowMessageFilterEx"))))
            if (window) filter(window, Messages().taskbarCreated, kAllow, nullptr);
    }
    if (!icon_) icon_ = LoadSmallIcon(kId);
    if (tooltip_.empty()) tooltip_ = platform::LoadText(kId);
}

bool CTrayIcon::Show() {
    if (!wanted_) retriesDone_ = 0;
    wanted_ = true;
    // Showing sets icon 134 with its own tooltip again.
    iconId_ = kId;
    icon_ = LoadSmallIcon(kId);
    tooltip_ = platform::LoadText(kId);
    return Add();
}

bool CTrayIcon::Add() {
    if (!window_) return false;
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    CopyField(data.szTip, sizeof data.szTip, tooltip_);
    // An add can fail although the icon is there: the shell may time out on
    // a busy logon after adding it, and it announces a new taskbar after a
    // change of display scaling that kept the icons. Then the icon is ours
    // to modify, and adding it again would fail for good.
    if (shell_(shown_ ? NIM_MODIFY : NIM_ADD, &data) || (!shown_ && shell_(NIM_MODIFY, &data))) {
        shown_ = true;
        StopRetry();
        return true;
    }
    if (!shown_) ScheduleRetry();
    return false;
}

bool CTrayIcon::Modify(NOTIFYICONDATAA& data) {
    if (!shown_) return false;
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kId;
    // A failure of the shell is not the program's to report.
    return shell_(NIM_MODIFY, &data) != FALSE;
}

void CTrayIcon::Remove() {
    wanted_ = false;
    StopRetry();
    if (pulsing_ && window_) KillTimer(window_, kPulseTimer);
    pulsing_ = false;
    if (!shown_) return;
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kId;
    shell_(NIM_DELETE, &data);
    shown_ = false;
}

void CTrayIcon::Restore() {
    if (!wanted_) return;
    shown_ = false;  // the new taskbar has no icon of ours: add, not modify
    retriesDone_ = 0;
    if (Add()) vnlog::Write("Notification-area icon added to the new taskbar");
}

void CTrayIcon::OnRetryTimer() {
    StopRetry();
    if (!wanted_ || shown_) return;
    ++retriesDone_;
    if (Add()) vnlog::Write("Notification-area icon added on a later try");
}

void CTrayIcon::ScheduleRetry() {
    if (retryPending_ || !window_) return;
    if (retriesDone_ >= kRetries) {
        vnlog::Write("Notification-area icon could not be added; waiting for the taskbar");
        return;
    }
    if (SetTimer(window_, kRetryTimer, kFirstRetryDelayMs << retriesDone_, nullptr)) retryPending_ = true;
}

void CTrayIcon::StopRetry() {
    if (!retryPending_) return;
    KillTimer(window_, kRetryTimer);
    retryPending_ = false;
}

bool CTrayIcon::SetIcon(int resourceId) {
    const HICON icon = LoadSmallIcon(resourceId);
    if (!icon) return false;
    icon_ = icon;
    iconId_ = resourceId;
    NOTIFYICONDATAA data{};
    data.uFlags = NIF_ICON;
    data.hIcon = icon_;
    return Modify(data);
}

bool CTrayIcon::SetTooltip(const std::string& text) {
    tooltip_ = engine::FitToField(text, engine::kTooltipBytes);
    NOTIFYICONDATAA data{};
    data.uFlags = NIF_TIP;
    CopyField(data.szTip, sizeof data.szTip, tooltip_);
    return Modify(data);
}

bool CTrayIcon::ShowBalloon(const std::string& title, const std::string& text, int kind, UINT timeoutMs) {
    NOTIFYICONDATAA data{};
    data.uFlags = NIF_INFO;
    CopyField(data.szInfoTitle, sizeof data.szInfoTitle, title);
    CopyField(data.szInfo, sizeof data.szInfo, text);
    data.uTimeout = timeoutMs;
    static constexpr DWORD kFlags[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};
    data.dwInfoFlags = kFlags[engine::BalloonKind(kind)];
    return Modify(data);
}

void CTrayIcon::StartPulse() {
    if (!window_ || !shown_) return;
    pulseFrame_ = 0;
    if (SetTimer(window_, kPulseTimer, engine::kPulseTickMs, nullptr)) pulsing_ = true;
}

void CTrayIcon::StopPulse() {
    if (!pulsing_) return;
    KillTimer(window_, kPulseTimer);
    pulsing_ = false;
    SetIcon(kId);
}

bool CTrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!window_) return false;
    result = 0;
    if (message == callbackMessage_ && callbackMessage_ != 0) {
        if (wParam == kId) OnCallback(lParam);
        return true;
    }
    if (message == Messages().taskbarCreated) {
        Restore();
        return true;
    }
    if (message == WM_TIMER && wParam == kRetryTimer) {
        OnRetryTimer();
        return true;
    }
    if (message == WM_TIMER && wParam == kPulseTimer) {
        // Each tick shows the next of the 32 icons, then they start again.
        if (pulsing_) SetIcon(engine::PulseIconId(pulseFrame_++ % engine::kPulseFrames));
        return true;
    }
    return false;
}

void CTrayIcon::OnCallback(LPARAM lParam) {
    // Without NIM_SETVERSION the shell's callback carries the message itself.
    const UINT event = LOWORD(lParam);
    engine::TrayMouse mouse = engine::TrayMouse::Other;
    switch (event) {
        case WM_MOUSEMOVE: mouse = engine::TrayMouse::Move; break;
        case WM_LBUTTONUP: mouse = engine::TrayMouse::LeftUp; break;
        case WM_RBUTTONUP: mouse = engine::TrayMouse::RightUp; break;
        case WM_LBUTTONDBLCLK: mouse = engine::TrayMouse::LeftDoubleClick; break;
        case NIN_BALLOONSHOW: g_balloonUp = true; return;
        case NIN_BALLOONUSERCLICK:
            if (balloonClicked) balloonClicked();
            OnBalloonGone();
            return;
        case NIN_BALLOONHIDE:
        case NIN_BALLOONTIMEOUT: OnBalloonGone(); return;
        default: return;
    }
    if (mouse == engine::TrayMouse::LeftUp || mouse == engine::TrayMouse::RightUp) StopPulse();
    switch (engine::MouseAction(mouse, g_balloonUp, selfUpdateState ? selfUpdateState() : 0)) {
        case engine::TrayAction::UpdateTooltip:
            if (mouseMoved) mouseMoved();
            break;
        case engine::TrayAction::AutoUpdateNotify: PostMessageA(window_, Messages().autoUpdateNotify, 0, 0); break;
        case engine::TrayAction::ShowMenu: ShowMenu(); break;
        case engine::TrayAction::OpenMyPage:
            SendMessageA(window_, WM_COMMAND, engine::kCmdMyPage, 0);
            SetForegroundWindow(window_);
            break;
        case engine::TrayAction::None: break;
    }
}

void CTrayIcon::OnBalloonGone() {
    if (g_guardTimer) return;
    g_guardTimer = SetTimer(nullptr, 0, engine::kBalloonGuardMs, GuardElapsed);
    if (!g_guardTimer) g_balloonUp = false;
}

void CTrayIcon::ShowMenu() {
    const HMENU menu = LoadMenuA(instance_, MAKEINTRESOURCEA(kId));
    if (!menu) return;
    const HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        SetMenuDefaultItem(popup, engine::kCmdMyPage, FALSE);
        if (prepareMenu) prepareMenu(popup);
        POINT at{};
        GetCursorPos(&at);
        // The menu closes when the user clicks elsewhere only while the
        // window that owns it is in the foreground.
        SetForegroundWindow(window_);
        TrackPopupMenu(popup, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
        PostMessageA(window_, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
}

}  // namespace app
