#include "dlmgr/win/download_manager_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include "dlmgr/download_display.h"
#include "dlmgr/download_options.h"
#include "dlmgr/win/download_transfer.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/message_reporter.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/text_block.h"
#include "platform/win/handles.h"
#include "platform/win/modeless.h"
#include "resource.h"

namespace dlmgr {
namespace {

constexpr int kProgramNameId = 57344;  // "Zelto Varnel"

int64_t Now() { return platform::CurrentTime(); }

uint32_t MaxRetries() { return DownloadRetries(); }

}  // namespace

CDownloadManagerDlg::CDownloadManagerDlg() {
    itemEndMessage_ = RegisterWindowMessageA(wmname::kDownloadItemEnd);
    upgradeEndMessage_ = RegisterWindowMessageA(wmname::kDownloadUpgradeEnd);
}

CDownloadManagerDlg::~CDownloadManagerDlg() {
    list_.StopAll();
    list_.WaitThread();
    if (window_) {
        platform::UnregisterModeless(window_);
        DestroyWindow(window_);
    }
}

bool CDownloadManagerDlg::Create(HINSTANCE instance, HWND frame) {
    frame_ = frame;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    window_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DOWNLOAD_MANAGER), nullptr, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!window_) return false;
    platform::RegisterModeless(window_, platform::ModelessKind::Dialog);  // Tab, Enter, Esc and access keys
    list_.transfer = [this](CDownloadItem& item) {
        TransferTarget target;
        target.window = window_;
        target.itemEndMessage = itemEndMessage_;
        target.upgradeEndMessage = upgradeEndMessage_;
        target.heldUpdate = &heldUpdate_;
        target.progressed = [this] {
            // One redraw waits at a time: a fast transfer does not flood the queue.
            if (!progressPending_.exchange(true)) PostMessageA(window_, kProgressMessage, 0, 0);
        };
        RunTransfer(item, target);
    };
    return true;
}

void CDownloadManagerDlg::Show() {
    ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window_);
    RefreshAll();
}

CDownloadItem& CDownloadManagerDlg::Add(const std::string& name, const std::string& url) {
    CDownloadItem& item = list_.Add(name, url, Now());
    AddRow(item);
    if (!Selected()) Select(0);
    RefreshAll();
    return item;
}

void CDownloadManagerDlg::StopAll() {
    list_.StopAll();
    RefreshAll();
}

bool CDownloadManagerDlg::StopForExit(DWORD waitMs) {
    list_.StopAll();
    // What has ended is kept before the wait: at logoff the process may be
    // ended during it.
    MoveFinishedToHistory(false);
    if (!list_.WaitThreadFor(std::chrono::milliseconds(waitMs)) || !list_.EndForExit()) return false;
    MoveFinishedToHistory(false);
    return true;
}

void CDownloadManagerDlg::RequestProgramUpdate(const std::string& url) {
    const uintptr_t block = platform::MakeTextBlock(url);
    if (!PostMessageA(window_, kStartUpdateMessage, 0, static_cast<LPARAM>(block))) platform::FreeTextBlock(block);
}

void CDownloadManagerDlg::RunOnWindowThread(std::function<void()> work) {
    if (!window_ || GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId()) {
        work();
        return;
    }
    auto* posted = new std::function<void()>(std::move(work));
    if (!PostMessageA(window_, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

INT_PTR CALLBACK CDownloadManagerDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDownloadManagerDlg*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDownloadManagerDlg*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_ = window;
    }
    if (!self) return FALSE;
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        vnlog::Warning("CDownloadManagerDlg::DialogProc", true);
        return FALSE;
    }
}

INT_PTR CDownloadManagerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == itemEndMessage_) {
        OnItemEnd();
        return TRUE;
    }
    if (message == upgradeEndMessage_) {
        OnUpgradeEnd(static_cast<int32_t>(wParam), static_cast<uintptr_t>(lParam));
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG: OnInit(); return TRUE;
        case kProgressMessage:
            progressPending_ = false;
            RefreshRow(RowOf(list_.Current()));
            if (Selected() && Selected() == list_.Current()) RefreshDetails();
            return TRUE;
        case kStartUpdateMessage: {
            const std::string url = platform::TakeTextBlock(static_cast<uintptr_t>(lParam));
            if (!url.empty() && !list_.AddProgramUpdate(platform::LoadText(kProgramNameId), url, Now()) &&
                selfUpdate_ && selfUpdate_->State() == kSelfUpdateInstalling)
                selfUpdate_->Failed();
            return TRUE;
        }
        case kRunOnWindowThread: {
            std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(lParam));
            if (work && *work) (*work)();
            return TRUE;
        }
        case WM_TIMER:
            if (list_.Current()) RefreshDetails();
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_DL_LIST && header->code == LVN_ITEMCHANGED && !rebuildingRows_) {
                RefreshDetails();
                RefreshButtons();
            }
            return TRUE;
        }
        case WM_COMMAND: OnCommand(LOWORD(wParam)); return TRUE;
        case WM_CLOSE: OnClose(); return TRUE;
        default: return FALSE;
    }
}

void CDownloadManagerDlg::OnInit() {
    listView_ = GetDlgItem(window_, IDC_DL_LIST);
    ListView_SetExtendedListViewStyle(listView_, LVS_EX_FULLROWSELECT);
    struct Column {
        const char* title;
        int width;
        int format;
    };
    const Column columns[] = {
        {"Status", 95, LVCFMT_LEFT}, {"Item", 350, LVCFMT_LEFT}, {"% Complete", 105, LVCFMT_RIGHT}};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = columns[i].format;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].title);
        SendMessageA(listView_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    SendDlgItemMessageA(window_, IDC_DL_PROGRESS, PBM_SETRANGE32, 0, 100);
    // Rate and time remaining move on with the clock, not only with data.
    SetTimer(window_, 1, 1000, nullptr);
    RefreshButtons();
}

void CDownloadManagerDlg::OnCommand(int id) {
    CDownloadItem* item = Selected();
    switch (id) {
        case IDC_DL_STOP:
            if (item) list_.Stop(*item);
            break;
        case IDC_DL_RESTART:
            if (item) list_.Restart(*item, Now());
            break;
        case IDC_DL_STOP_ALL: list_.StopAll(); break;
        case IDC_DL_LAUNCH:
            if (item) ShellExecuteA(window_, "open", item->Destination.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        case IDC_DL_SHOW_LOCATION:
            if (item) ShellExecuteA(window_, "open", item->Folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
            break;
        case IDC_DL_OPTIONS:
            if (showOptions) showOptions();
            break;
        case IDCANCEL:
        case IDOK: OnClose(); return;
        default: return;
    }
    RefreshAll();
}

void CDownloadManagerDlg::OnItemEnd() {
    CDownloadItem* item = list_.Current();
    if (!item) return;
    list_.OnTransferEnd(*item, MaxRetries(), Now());
    // Nobody closes a hidden window: what ended goes to the history now.
    if (!IsWindowVisible(window_)) MoveFinishedToHistory(true);
    RefreshAll();
}

void CDownloadManagerDlg::OnUpgradeEnd(int32_t state, uintptr_t block) {
    const std::string path = platform::TakeTextBlock(block);
    if (CDownloadItem* item = list_.Current()) list_.OnTransferEnd(*item, MaxRetries(), Now());
    if (!IsWindowVisible(window_)) MoveFinishedToHistory(true);
    RefreshAll();
    auto failed = [this] {
        heldUpdate_.Release();
        if (selfUpdate_) selfUpdate_->Failed();
        if (onInstallStep) onInstallStep(false);
    };
    // An update refused before its download (an address that names no usable
    // file), stopped at once or broken off has no path: it ends the update
    // all the same, or the agent would wait on it for ever, checking no more.
    if (path.empty() || state != kStateSuccessful || !heldUpdate_ || heldUpdate_.Path() != path) {
        failed();
        return;
    }
    const InstallerStart start = StartHeldInstaller(heldUpdate_);
    if (!start.hasCommand) {
        // Nothing this program knows how to start: leaving now would only
        // end the agent without an installer to replace it.
        vnlog::Write("The update " + path + " has no installer command; it is not started");
        failed();
        return;
    }
    if (!start.Started()) {
        const std::string reason =
            platform::SystemMessageText(static_cast<DWORD>(start.shellResult)).value_or(std::string());
        platform::ReportMessage(
            textutil::Format("Auto-update error calling ShellExecute\nerror: %d\nMessage: %s\nUpdater: %s",
                             static_cast<int>(start.shellResult), reason.c_str(), path.c_str()),
            MB_OK | MB_ICONERROR);
        failed();
        return;
    }
    vnlog::Write("The update's installer was started: " + path + "; the program exits");
    if (beforeInstallExit) beforeInstallExit(start.process.get());
    PostMessageA(frame_, WM_COMMAND, kExitCommand, 0);
    if (onInstallStep) onInstallStep(true);
}

void CDownloadManagerDlg::OnClose() {
    MoveFinishedToHistory(true);
    ShowWindow(window_, SW_HIDE);
    RefreshAll();
}

void CDownloadManagerDlg::MoveFinishedToHistory(bool notify) {
    std::vector<std::unique_ptr<CHistoryItem>> finished = list_.TakeFinished();
    if (finished.empty()) return;
    if (listView_) {
        // Rows of the items just taken point at nothing until they are gone:
        // the list's notifications meanwhile are not followed.
        rebuildingRows_ = true;
        ListView_DeleteAllItems(listView_);
        rebuildingRows_ = false;
        for (CDownloadItem* item : list_.Items())
            if (item->Kind == kKindOrdinary) AddRow(*item);
    }
    if (history_) {
        if (!MoveToHistory(*history_, std::move(finished))) vnlog::Write("The download history could not be saved");
        if (notify && onHistoryChanged) onHistoryChanged();
    } else {
        CDownloadHistory history(platform::DataFolder());
        history.Load();
        if (!MoveToHistory(history, std::move(finished))) vnlog::Write("The download history could not be saved");
    }
}

void CDownloadManagerDlg::AddRow(CDownloadItem& item) {
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = ListView_GetItemCount(listView_);
    row.pszText = const_cast<char*>("");
    row.lParam = reinterpret_cast<LPARAM>(&item);
    RefreshRow(static_cast<int>(SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row))));
}

int CDownloadManagerDlg::RowOf(const CDownloadItem* item) const {
    if (!item || !listView_) return -1;
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(item);
    return static_cast<int>(
        SendMessageA(listView_, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

CDownloadItem* CDownloadManagerDlg::Selected() const {
    const int row = ListView_GetNextItem(listView_, -1, LVNI_SELECTED);
    if (row < 0) return nullptr;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(listView_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<CDownloadItem*>(item.lParam);
}

void CDownloadManagerDlg::Select(int row) {
    ListView_SetItemState(listView_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CDownloadManagerDlg::RefreshRow(int row) {
    if (row < 0) return;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(listView_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return;
    const auto* download = reinterpret_cast<const CDownloadItem*>(item.lParam);
    const std::string texts[3] = {CHistoryItem::StateText(download->State),
                                  download->Name.empty() ? download->Url : download->Name,
                                  std::to_string(PercentComplete(download->Received, download->Total)) + "%"};
    for (int column = 0; column < 3; ++column) {
        LVITEMA cell = {};
        cell.iSubItem = column;
        cell.pszText = const_cast<char*>(texts[column].c_str());
        SendMessageA(listView_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    }
}

void CDownloadManagerDlg::RefreshRows() {
    const int rows = ListView_GetItemCount(listView_);
    for (int row = 0; row < rows; ++row) RefreshRow(row);
}

void CDownloadManagerDlg::RefreshDetails() {
    const CDownloadItem* item = Selected();
    DetailTexts d;
    if (item) d = DetailsOf(*item, Now());
    SetDlgItemTextA(window_, IDC_DL_NAME, d.name.c_str());
    SetDlgItemTextA(window_, IDC_DL_TIME_LEFT, d.timeRemaining.c_str());
    SetDlgItemTextA(window_, IDC_DL_RATE, d.rate.c_str());
    SetDlgItemTextA(window_, IDC_DL_FILE_TO, d.fileTo.c_str());
    SetDlgItemTextA(window_, IDC_DL_STATISTICS, item ? d.statistics.c_str() : "");
    SendDlgItemMessageA(window_, IDC_DL_PROGRESS, PBM_SETPOS, d.percent, 0);
}

void CDownloadManagerDlg::RefreshButtons() {
    const ButtonStates b = ButtonsFor(Selected());
    EnableWindow(GetDlgItem(window_, IDC_DL_RESTART), b.restart);
    EnableWindow(GetDlgItem(window_, IDC_DL_STOP), b.stop);
    EnableWindow(GetDlgItem(window_, IDC_DL_LAUNCH), b.launch);
    EnableWindow(GetDlgItem(window_, IDC_DL_SHOW_LOCATION), b.showLocation);
    EnableWindow(GetDlgItem(window_, IDC_DL_STOP_ALL), list_.AnyActiveOrQueued());
    EnableWindow(GetDlgItem(window_, IDC_DL_OPTIONS), static_cast<bool>(showOptions));
}

void CDownloadManagerDlg::RefreshAll() {
    if (!window_) return;
    RefreshRows();
    RefreshDetails();
    RefreshButtons();
}

}  // namespace dlmgr
