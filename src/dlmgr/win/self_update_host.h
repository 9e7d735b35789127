// The self-update's Windows side: the offer's balloon and tooltip on the
// main frame's notification-area icon, the question box, and the download
// through the download manager window.
#pragma once

#include <functional>

#include "dlmgr/self_update.h"
#include "dlmgr/win/download_manager_dlg.h"
#include "platform/win/win.h"

namespace dlmgr {

class CSelfUpdateHostWin : public ISelfUpdateHost {
public:
    static constexpr UINT kTrayIconId = 134;

    // `setScanNow` sets the frame's "scan now" flag; it always runs on the
    // user-interface thread (the check-in asks from the scan worker).
    CSelfUpdateHostWin(HWND frame, CDownloadManagerDlg& downloads, std::function<void(bool)> setScanNow)
        : frame_(frame), downloads_(downloads), setScanNow_(std::move(setScanNow)) {}

    void SetScanNow(bool on) override {
        if (setScanNow_) downloads_.RunOnWindowThread([set = setScanNow_, on] { set(on); });
    }
    void ShowOffer() override;
    void RequestDownload(const std::string& url) override { downloads_.RequestProgramUpdate(url); }
    bool AskInstall() override;
    void FocusFrame() override { SetForegroundWindow(frame_); }

private:
    HWND frame_;
    CDownloadManagerDlg& downloads_;
    std::function<void(bool)> setScanNow_;
};

}  // namespace dlmgr
