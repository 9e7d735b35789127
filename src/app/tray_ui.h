// CTrayUi: what the main frame does through its notification-area icon: the
// tooltip on each mouse move, the tray menu's variable items, the "Updates"
// command (32774) and the names' popup it fills (33000 on; the command
// table carries those out, and opens the user's page), the balloon click, and the summary after each check
// (balloon, pulse, sound, event-log line, "First Run", the temporary pages).
// The decisions are engine/tray_model.h and engine/tray_summary.h; this is
// the Windows side that carries them out.
#pragma once

#include <string>

#include "app/tray_icon.h"
#include "engine/tray_model.h"
#include "platform/win/win.h"

namespace app {

// What the tray needs from the frame.
class ITrayHost {
public:
    virtual ~ITrayHost() = default;
    virtual bool TrayWorkerRunning() = 0;
    virtual std::string TrayLoginError() = 0;
    virtual uint32_t TraySelfUpdateState() = 0;
    virtual bool TrayAskingAboutUpdate() = 0;
    virtual std::string TrayScanDateText() = 0;
    virtual void TrayShowError(const std::string& text) = 0;
    // "Go to my Zelto Varnel page" through the frame's command table.
    virtual void TrayOpenMyPage() = 0;
    // After each check: the task pane's counters and the software and
    // driver views are brought up to date.
    virtual void TrayRefreshViews() = 0;
};

class CTrayUi {
public:
    CTrayUi(CTrayIcon& icon, ITrayHost& host) : icon_(icon), host_(host) {}
    CTrayUi(const CTrayUi&) = delete;
    CTrayUi& operator=(const CTrayUi&) = delete;

    // Connects the icon's callbacks to this; after the icon's Attach.
    void Attach(HWND window);

    // Command 32774 ("Updates"); false for any other.
    bool OnCommand(int id);
    // "WM_Varnel10_UpdateComplete".
    void OnCheckComplete(bool notify, bool success);

    void UpdateTooltip();
    void PrepareMenu(HMENU popup);
    void OnBalloonClick();
    void OpenMyPage();

    engine::TrayState State();
    // The text of the last menu's "Updates" item.
    const std::string& StatusText() const { return statusText_; }

private:
    CTrayIcon& icon_;
    ITrayHost& host_;
    HWND window_ = nullptr;
    std::string statusText_;
};

// Deletes the files (not the sub-folders) of the folder; the number deleted.
int DeleteFilesIn(const std::string& folder);

}  // namespace app
