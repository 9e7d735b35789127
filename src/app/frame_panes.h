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

class CPreviewPane {
public:
    CPreviewPane() = default;
    CPreviewPane(const CPreviewPane&) = delete;
    CPreviewPane& operator=(const CPreviewPane&) = delete;

    bool Create(HINSTANCE instance, HWND parent);
    HWND Window() const { return window_; }
    // Shows the item's page (null: nothing selected). A catalogue item whose
    // page is not cached yet has it fetched; "WM_Varnel10_HtmlCreated" then
    // brings it (OnPageCreated).
    void ShowItem(const VN_ItemGrandBase* item);
    void OnPageCreated();
    // The text shown.
    std::string Text() const;

private:
    void Render();

    HWND window_ = nullptr;
    bool selected_ = false;
    std::string name_;
    std::string productId_;
    std::string details_;  // what the list knows of the item
};

}  // namespace app
