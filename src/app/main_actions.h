// CMainActions: the main window's downloads and program updates. It owns the
// download manager's window (created hidden), the self-update with its host,
// and the `asking` flag: set while a question about a program update is on
// screen besides the self-update's own. While either asks, the tray menu's
// "Exit" and "Scan Now" are disabled.
#pragma once

#include <memory>

#include "app/main_frame.h"
#include "dlmgr/self_update.h"
#include "dlmgr/win/download_manager_dlg.h"
#include "dlmgr/win/self_update_host.h"

namespace app {

class CMainActions : public CMainFrame {
public:
    ~CMainActions() override;

    // The download manager window (hidden until shown) and the self-update;
    // null before the frame is created.
    dlmgr::CDownloadManagerDlg* Downloads() { return downloads_.get(); }
    dlmgr::CSelfUpdate* SelfUpdate() { return selfUpdate_.get(); }

    bool askingAboutUpdate = false;
    // How long the exit waits for a transfer under way to stop.
    static constexpr DWORD kDownloadExitWaitMs = 5000;

protected:
    explicit CMainActions(HINSTANCE instance) : CMainFrame(instance) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void CreateActions() override;
    void StopTransfers() override;
    // A view's direct downloads go to the download manager, which is shown.
    void OnViewCreated(Views::CListViewEx& view) override;
    uint32_t UpdateState() override { return selfUpdate_ ? selfUpdate_->State() : 0; }
    bool AskingAboutUpdate() override { return askingAboutUpdate || (selfUpdate_ && selfUpdate_->Asking()); }

private:
    std::unique_ptr<dlmgr::CDownloadManagerDlg> downloads_;
    std::unique_ptr<dlmgr::CSelfUpdateHostWin> selfUpdateHost_;
    std::unique_ptr<dlmgr::CSelfUpdate> selfUpdate_;
    // The exit's wait for the transfer under way ran out.
    bool transferLeftRunning_ = false;
};

}  // namespace app
