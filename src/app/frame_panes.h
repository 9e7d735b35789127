// The two panes beside the list views in the main window's client area: the
// task pane at the left, which shows the counters of the watch list and the
// driver list, and the preview pane under the current list, which shows the
// selected item's page.
//
// The preview shows the page's text in a read-only rich edit control rather
// than as rendered HTML: the same on every system, and readable where no HTML
// engine is installed (Wine without Gecko draws nothing in a browser control).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "inventory/item_base.h"
#include "platform/win/win.h"
#include "viewmodel/task_counters.h"

namespace app {

class CTaskPane {
public:
    CTaskPane() = default;
    ~CTaskPane();
    CTaskPane(const CTaskPane&) = delete;
    CTaskPane& operator=(const CTaskPane&) = delete;

    bool Create(HINSTANCE instance, HWND parent);
    HWND Window() const { return window_; }
    void SetCounters(const viewmodel::ListCounters& software, const viewmodel::ListCounters& drivers);
    // What the pane shows, line by line.
    std::string Text() const;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT bold_ = nullptr;
    viewmodel::ListCounters software_;
    viewmodel::ListCounters drivers_;
};

// Fetches one product page at a time on a thread of its own. The thread
// shares only its job with the owner; at the owner's end it is asked to stop
// and waited for a bounded time, after which it is left to end alone (it then
// writes and announces nothing).
class CPageFetch {
public:
    static constexpr int kStopWaitMs = 3000;
    CPageFetch() = default;
    ~CPageFetch() { Stop(kStopWaitMs); }
    CPageFetch(const CPageFetch&) = delete;
    CPageFetch& operator=(const CPageFetch&) = delete;

    // Starts fetching the page of `productId`; when it ends, (message,
    // succeeded, number) is posted to `window`. The fetch's number (from 1),
    // or 0 while another fetch runs.
    unsigned Start(const std::string& productId, HWND window, UINT message);
    bool Busy() const;
    // Asks a running fetch to stop and waits up to `waitMs` for it.
    void Stop(int waitMs);

private:
    struct Job;
    std::shared_ptr<Job> job_;
    unsigned started_ = 0;
};

class CPreviewPane {
public:
    // Sent to the pane's window by its fetch: wParam is 1 when the page was made.
    static constexpr UINT kFetchEnded = WM_APP + 20;

    CPreviewPane() = default;
    ~CPreviewPane();
    CPreviewPane(const CPreviewPane&) = delete;
    CPreviewPane& operator=(const CPreviewPane&) = delete;

    bool Create(HINSTANCE instance, HWND parent);
    HWND Window() const { return window_; }
    // Shows the item's page (null: nothing selected). A catalogue item whose
    // page is not cached yet has it fetched; "WM_Varnel10_HtmlCreated" then
    // brings it (OnPageCreated).
    void ShowItem(const VN_ItemGrandBase* item);
    // The same in two steps: Select copies what the pane shows of the item
    // (the caller may hold the item's lock only for that), ShowSelected shows it.
    void Select(const VN_ItemGrandBase* item);
    void ShowSelected();
    void OnPageCreated();
    // The text shown.
    std::string Text() const;

private:
    void Render();
    // Fetches the shown product's page when it is neither cached, being
    // fetched, nor known to have failed.
    void FetchIfMissing();
    void OnFetchEnded(bool succeeded, unsigned number);
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);

    HWND window_ = nullptr;
    CPageFetch fetch_;
    unsigned fetchNumber_ = 0;  // the latest fetch and its product
    std::string fetchId_;
    std::string failedId_;  // the product whose page could not be fetched
    bool selected_ = false;
    std::string name_;
    std::string productId_;
    std::string details_;  // what the list knows of the item
};

}  // namespace app
