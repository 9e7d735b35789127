#include "app/tray_icon.h"

#include <cstring>

#include "platform/log.h"
#include "platform/string_table.h"

namespace app {

void CTrayIcon::Attach(HINSTANCE instance, HWND window, UINT callbackMessage) {
    instance_ = instance;
    window_ = window;
    callbackMessage_ = callbackMessage;
    if (!icon_)
        icon_ = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
}

bool CTrayIcon::Show() {
    if (!wanted_) retriesDone_ = 0;
    wanted_ = true;
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
    const std::string tip = platform::LoadText(kId);
    std::strncpy(data.szTip, tip.c_str(), sizeof data.szTip - 1);
    if (shell_(shown_ ? NIM_MODIFY : NIM_ADD, &data)) {
        shown_ = true;
        StopRetry();
        return true;
    }
    if (!shown_) ScheduleRetry();
    return false;
}

void CTrayIcon::Remove() {
    wanted_ = false;
    StopRetry();
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

}  // namespace app
