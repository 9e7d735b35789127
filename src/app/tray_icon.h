// CTrayIcon: the program's notification-area icon (identifier 134, which is
// also its icon resource and its tooltip string). This holds the icon itself:
// shown or removed on request, added again when the taskbar is re-created,
// removed by the destructor. The menu, balloons and animation build on it.
#pragma once

#include "platform/win/win.h"

namespace app {

class CTrayIcon {
public:
    static constexpr UINT kId = 134;

    CTrayIcon() = default;
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The window that receives `callbackMessage` for mouse events on the icon.
    void Attach(HINSTANCE instance, HWND window, UINT callbackMessage);
    // Adds the icon with its tooltip (or updates it when already shown).
    bool Show();
    void Remove();
    // After "TaskbarCreated": adds the icon again if it was shown.
    void Restore();
    bool IsShown() const { return shown_; }

private:
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    bool shown_ = false;
};

}  // namespace app
