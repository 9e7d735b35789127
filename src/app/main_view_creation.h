// CMainViewCreation: the main window's client area. It owns the program's
// lists (the watch list and the driver list, loaded from their files, and the
// in-memory lists of today's updates, the download history and the search
// results), the list views over them (each created on first use) and their
// layout in the space the bars leave.
#pragma once

#include <map>
#include <memory>

#include "app/main_registration.h"
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

    // The view of a view command, created on first use (null before the
    // lists exist or when its creation failed), and the current view.
    Views::CListViewEx* View(unsigned id);
    Views::CListViewEx* CurrentView() { return View(currentView_); }
    unsigned CurrentViewId() const { return currentView_; }

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

private:
    std::map<unsigned, std::unique_ptr<Views::CListViewEx>> views_;
    unsigned currentView_ = 0;
    unsigned shownView_ = 0;
    bool clientCreated_ = false;
};

}  // namespace app
