#include "app/tray_icon.h"

#include <shellapi.h>

#include <cstring>

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
    const BOOL ok = Shell_NotifyIconA(shown_ ? NIM_MODIFY : NIM_ADD, &data);
    if (ok) shown_ = true;
    return ok != FALSE;
}

void CTrayIcon::Remove() {
    if (!shown_) return;
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kId;
    Shell_NotifyIconA(NIM_DELETE, &data);
    shown_ = false;
}

void CTrayIcon::Restore() {
    if (!shown_) return;
    shown_ = false;  // the new taskbar has no icon of ours: add, not modify
    Show();
}

}  // namespace app
