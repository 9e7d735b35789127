// CItemFeedbackDlg: the report of a wrongly identified item (dialog 170).
// It shows the item's icon and name, the reasons the item offers and a
// comments box prefilled with the item's stored comments. Submit refuses an
// incomplete report with a "Warning" box and stays open; otherwise it stores
// the reason code and the comments in the item and sends the report on a
// worker thread, so that the window stays live, and then shows how it went:
// sent (the item's report is cleared) or kept (it goes out with the next
// check). The item is touched on the user-interface thread only: the worker
// sends a copy of it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/win/win.h"

class VN_UpdatedItem;

namespace Views {

class CItemFeedbackDlg {
public:
    // Sends the report of `item`; true when the call reached the service and
    // returned. Runs on the worker thread, with the worker's own copy of the
    // item. The default is Submit::CSubmitter::Execute.
    using Sender = std::function<bool(VN_UpdatedItem& item, const std::string& reason, const std::string& comments)>;
    // Shows a refusal over the dialog (the default is a "Warning" box).
    using Warner = std::function<void(HWND dialog, const std::string& text)>;

    enum class State { Editing, Sending, Sent, Kept };

    CItemFeedbackDlg(HINSTANCE instance, VN_UpdatedItem& item);
    // Closes the window; a report still on its way finishes on its own.
    ~CItemFeedbackDlg();
    CItemFeedbackDlg(const CItemFeedbackDlg&) = delete;
    CItemFeedbackDlg& operator=(const CItemFeedbackDlg&) = delete;

    // Opens the dialog over `owner` (disabled meanwhile) and runs it until the
    // user closes it. True when the item's report changed (stored, then sent
    // or kept): its list is then to be saved.
    bool DoModal(HWND owner);
    // The same window without a loop of its own: the caller pumps messages
    // (IsDialogMessage is not needed for the buttons).
    bool Create(HWND owner);
    HWND Window() const { return window_; }
    // Whether a report window is open: it holds an item that no scan may
    // change or delete meanwhile, so none starts.
    static bool IsAnyOpen();
    State GetState() const { return state_; }
    bool ItemChanged() const { return changed_; }

    Sender send;
    Warner warn;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnSubmit();
    void OnSendDone(bool sent);
    void SetBusy(bool busy);
    void LetWorkerGo();
    std::string ControlText(int id) const;

    HINSTANCE instance_;
    VN_UpdatedItem& item_;
    HWND window_ = nullptr;
    HFONT nameFont_ = nullptr;
    State state_ = State::Editing;
    bool changed_ = false;
    std::thread worker_;
};

}  // namespace Views
