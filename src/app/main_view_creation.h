// CMainViewCreation: the main window's client area. It owns the program's
// lists (the watch list and the driver list, loaded from their files, and the
// in-memory lists of today's updates, the download history and the search
// results), the list views over them (each created on first use), the task
// pane and the preview pane, and their layout in the space the bars leave:
// the task pane column at the left, then the current list above the preview,
// with splitter bars the user can drag (appcore/frame_layout.h).
#pragma once

#include <map>
#include <memory>

#include "app/daily_refresh.h"
#include "app/frame_panes.h"
#include "app/main_registration.h"
#include "appcore/frame_layout.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "views/win/list_view_ex.h"

namespace app {

class CMainViewCreation : public CMainRegistration {
public:
    ~CMainViewCreation() override;

    // The program's lists; null before the frame is created.
    VN_WatchList* WatchList() { return watch_.get(); }
    Views::CDriverData* DriverList() { return drivers_.get(); }
    VN_ListBase* DailyList() { return daily_.get(); }
    VN_ListBase* HistoryList() { return history_.get(); }
    VN_ListBase* SearchList() { return search_.get(); }
    // Today's updates' refresh, started after each check.
    CDailyRefresh* DailyRefresh() { return dailyRefresh_.get(); }

    // The view of a view command, created on first use (null before the
    // lists exist or when its creation failed), and the current view.
    Views::CListViewEx* View(unsigned id);
    Views::CListViewEx* CurrentView() { return View(currentView_); }
    unsigned CurrentViewId() const { return currentView_; }

    CTaskPane& TaskPane() { return taskPane_; }
    CPreviewPane& PreviewPane() { return preview_; }
    const appcore::SplitterState& Splitter() const { return split_; }
    // The task pane's counters brought up to date from the lists.
    void RefreshCounters();
    // Sent by a view's host when its selection changed: the preview follows.
    static constexpr UINT kSelectionChanged = WM_APP + 3;
    static constexpr UINT kRelayout = WM_APP + 4;

protected:
    explicit CMainViewCreation(HINSTANCE instance) : CMainRegistration(instance) {}

    // Loads the lists from the data folder (once).
    void LoadLists();
    // Builds the client area and shows the current view.
    void CreateClient();
    // Makes `id` the current view: shows it and hides the others. Before the
    // client exists it only records the choice.
    void ShowView(unsigned id);
    // Reloads (or empties) the view of `id` when it exists.
    void ReloadView(unsigned id);
    void ClearView(unsigned id);
    // Lays the client area out again.
    void LayoutClient();
    // The client area less the bars: the layer above knows them.
    virtual RECT FreeClientArea();
    // Lets the layers above connect a new view to what they own (before its
    // control exists).
    virtual void OnViewCreated(Views::CListViewEx&) {}
    // Destroys the views (their controls keep their column widths first).
    void DestroyViews();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::unique_ptr<VN_WatchList> watch_;
    std::unique_ptr<Views::CDriverData> drivers_;
    std::unique_ptr<VN_ListBase> daily_;
    std::unique_ptr<VN_ListBase> history_;
    std::unique_ptr<VN_ListBase> search_;
    std::unique_ptr<CDailyRefresh> dailyRefresh_;

private:
    enum class Drag { None, Column, Row };
    appcore::LayoutRect Area();
    void PlaceWindows();
    Drag BarAt(int x, int y);
    void OnBarDrag(int x, int y, bool drop);
    void ShowSelection();
    // Gives the keyboard to the child that had it when the frame was last
    // active, or else to the current view's list.
    void FocusContent();
    static LRESULT CALLBACK ViewHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);

    std::map<unsigned, std::unique_ptr<Views::CListViewEx>> views_;
    unsigned currentView_ = 0;
    unsigned shownView_ = 0;
    HWND lastFocus_ = nullptr;  // the child that had the keyboard as the frame lost activation
    CTaskPane taskPane_;
    CPreviewPane preview_;
    appcore::SplitterState split_;
    appcore::PaneLayout panes_;
    Drag drag_ = Drag::None;
    int dragOffset_ = 0;
    bool selectionPosted_ = false;
};

}  // namespace app
