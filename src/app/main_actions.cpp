#include "app/main_actions.h"

#include "app/app_messages.h"
#include "app/settings_sheet.h"
#include "dlmgr/win/update_watcher.h"
#include "platform/log.h"
#include "resource.h"

namespace app {

CMainActions::~CMainActions() {
    // The worker may be asking the self-update a question: it ends first.
    EndWorker();
    if (commands_) commands_->showDownloadManager = nullptr;
    // A transfer stuck on a silent connection must not hold up the exit. Its
    // thread still uses the download manager, which is therefore left as it
    // is: the process ends right after the window.
    if (downloads_ && !downloads_->StopForExit(transferLeftRunning_ ? 0 : kDownloadExitWaitMs)) {
        vnlog::Write("*** Exit: a download did not stop in time and is left to the end of the process");
        (void)downloads_.release();
    }
    downloads_.reset();
}

void CMainActions::CreateActions() {
    // The download manager window, created hidden, and the pre-scan's
    // question whether an agent update is handled now.
    downloads_ = std::make_unique<dlmgr::CDownloadManagerDlg>();
    if (!downloads_->Create(instance_, window_)) vnlog::Write("The download manager window could not be created");
    selfUpdateHost_ = std::make_unique<dlmgr::CSelfUpdateHostWin>(window_, *downloads_, [this](bool on) {
        schedule_.scanNow = on;
        scanNow = on;
    });
    selfUpdate_ = std::make_unique<dlmgr::CSelfUpdate>(*selfUpdateHost_);
    downloads_->SetSelfUpdate(selfUpdate_.get());
    if (commands_) commands_->showDownloadManager = [this] { downloads_->Show(); };
    downloads_->SetHistory(history_.get());
    downloads_->onHistoryChanged = [this] { ReloadView(ID_VIEW_HISTORY); };
    downloads_->showOptions = [this] { CVarnelDlg::Show(instance_, window_, interactive); };
    // The agent leaves so that an update's installer can replace its files;
    // the watcher starts it again once the installer has ended.
    downloads_->beforeInstallExit = [](HANDLE installer) { dlmgr::StartUpdateWatcher(installer); };
    if (worker_)
        worker_->Engine().installClientUpdateNow = [this] {
            return selfUpdate_->CheckClientUpdate(worker_->userStarted);
        };
}

void CMainActions::OnViewCreated(Views::CListViewEx& view) {
    // Actions that delete items wait for a running scan or check to end.
    view.workerRunning = [this] { return worker_ && worker_->IsWorkerRunning(); };
    view.startDownload = [this](const std::string& name, const std::string& url) {
        if (!downloads_) return;
        downloads_->Add(name, url);
        downloads_->Show();
    };
}

void CMainActions::StopTransfers() {
    // Called by the exit, which at logoff is the last chance to keep the
    // finished downloads in the history: the transfer under way is given a
    // few seconds to stop (only once; the destructor does not wait again).
    if (downloads_ && !downloads_->StopForExit(kDownloadExitWaitMs)) transferLeftRunning_ = true;
}

LRESULT CMainActions::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == Messages().autoUpdateNotify) {
        if (selfUpdate_) selfUpdate_->OnAutoUpdateNotify();
        return 0;
    }
    return CMainFrame::OnMessage(message, wParam, lParam);
}

}  // namespace app
