// dlmgr::CDownloadManagerDlg: the download manager's window (dialog 192,
// "Varnel Download Manager"), created hidden with the main frame and shown
// by the "Download Manager" command. It owns the list data and its transfer
// thread, handles the ends of transfers on the user-interface thread, and
// carries out the self-update's installation step.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "dlmgr/download_list.h"
#include "dlmgr/self_update.h"
#include "dlmgr/win/held_file.h"
#include "platform/win/win.h"

namespace dlmgr {

class CDownloadManagerDlg {
public:
    // Private messages of the window.
    static constexpr UINT kProgressMessage = WM_APP + 40;     // the current transfer made progress
    static constexpr UINT kStartUpdateMessage = WM_APP + 41;  // lParam: text block with the update's address
    static constexpr UINT kRunOnWindowThread = WM_APP + 42;   // lParam: a std::function<void()>* to run and delete
    static constexpr UINT kExitCommand = 32771;               // "Exit", posted to the frame

    CDownloadManagerDlg();
    ~CDownloadManagerDlg();
    CDownloadManagerDlg(const CDownloadManagerDlg&) = delete;
    CDownloadManagerDlg& operator=(const CDownloadManagerDlg&) = delete;

    // Creates the window, hidden. `frame` receives the exit command after an
    // update's installer started.
    bool Create(HINSTANCE instance, HWND frame);
    HWND Window() const { return window_; }
    void Show();

    // A new download from the lists' "Download" action.
    CDownloadItem& Add(const std::string& name, const std::string& url);
    // Asks every transfer to stop; at exit.
    void StopAll();
    // At exit: asks every transfer to stop, keeps the finished items in the
    // download history, waits up to `waitMs` for the one under way and then
    // keeps it too; false when it is still running (a stalled connection).
    bool StopForExit(DWORD waitMs);
    // Any thread: the self-update's download of `url` (posted to the window).
    void RequestProgramUpdate(const std::string& url);
    // Any thread: runs `work` on the window's thread (now, when called there).
    void RunOnWindowThread(std::function<void()> work);

    CDownloadListData& ListData() { return list_; }
    // The self-update whose state the end of an update changes.
    void SetSelfUpdate(CSelfUpdate* update) { selfUpdate_ = update; }
    // The download-history list that finished items move into, which is
    // then saved (the history view shows it): on "&Close", when an item ends
    // while the window is hidden, and at exit. Without one they are added to
    // the history file alone. `onHistoryChanged` follows each move but the
    // one at exit.
    void SetHistory(VN_ListBase* history) { history_ = history; }
    std::function<void()> onHistoryChanged;
    // "&Options...": the settings sheet (the button is off while unset).
    std::function<void()> showOptions;
    // The end of an update's installer start, for tests: true when the exit
    // was posted.
    std::function<void(bool exitPosted)> onInstallStep;
    // Called with the started installer's process (may be null) just before
    // the exit is posted: the agent starts its update watcher here (see
    // update_watcher.h). Left unset by a program that is not the agent.
    std::function<void(HANDLE installer)> beforeInstallExit;

    // The row of an item (-1 when it has none) and the selected item.
    int RowOf(const CDownloadItem* item) const;
    CDownloadItem* Selected() const;
    void Select(int row);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnCommand(int id);
    void OnItemEnd();
    void OnUpgradeEnd(int32_t state, uintptr_t block);
    void OnClose();
    // Moves every finished item into the download history and saves it.
    void MoveFinishedToHistory(bool notify);
    void AddRow(CDownloadItem& item);
    void RefreshRow(int row);
    void RefreshRows();
    void RefreshDetails();
    void RefreshButtons();
    void RefreshAll();

    HWND window_ = nullptr;
    HWND frame_ = nullptr;
    HWND listView_ = nullptr;
    UINT itemEndMessage_ = 0;
    UINT upgradeEndMessage_ = 0;
    CDownloadListData list_;
    CHeldFile heldUpdate_;
    CSelfUpdate* selfUpdate_ = nullptr;
    VN_ListBase* history_ = nullptr;
    std::atomic<bool> progressPending_{false};
    bool rebuildingRows_ = false;
};

}  // namespace dlmgr
