#include "app/main_view_creation.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/app_messages.h"
#include "dlmgr/download_item.h"
#include "inventory/database.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "resource.h"
#include "viewmodel/task_counters.h"
#include "views/search_data.h"
#include "views/win/item_views.h"

namespace app {

CMainViewCreation::~CMainViewCreation() {
    // A running refresh of today's updates ends before its list and view go.
    dailyRefresh_.reset();
    DestroyViews();
}

void CMainViewCreation::LoadLists() {
    if (watch_) return;
    // The lists live for the whole process, loaded once from their files.
    const std::string dataFolder = platform::DataFolder();
    watch_ = std::make_unique<VN_WatchList>(dataFolder);
    watch_->Init();
    drivers_ = std::make_unique<Views::CDriverData>(dataFolder);
    drivers_->Load();
    daily_ = std::make_unique<VN_ListBase>(dataFolder + inventory::dbfile::kDailyUpdates);
    daily_->Load();
    // The download history is kept in "downloadhistory.db"; the download
    // manager's "&Close" moves finished transfers into it.
    history_ = std::make_unique<dlmgr::CDownloadHistory>(dataFolder);
    history_->Load();
    search_ = std::make_unique<Views::CSearchData>();
    // Today's updates: refreshed after each check (app/daily_refresh.h).
    dailyRefresh_ = std::make_unique<CDailyRefresh>(instance_, *daily_, [this] { ReloadView(ID_VIEW_DAILY); });
    vnlog::Write("Lists loaded: " + std::to_string(watch_->GetCount()) + " watch-list entries, " +
                 std::to_string(drivers_->GetCount()) + " drivers");
}

void CMainViewCreation::CreateClient() {
    if (split_.created) return;
    if (!taskPane_.Create(instance_, window_)) vnlog::Write("*** Could not create the task pane");
    if (!preview_.Create(instance_, window_)) vnlog::Write("*** Could not create the preview pane");
    split_.created = true;
    ShowView(currentView_);
    LayoutClient();
}

void CMainViewCreation::DestroyViews() {
    for (auto& entry : views_)
        if (entry.second && entry.second->Host())
            RemoveWindowSubclass(entry.second->Host(), ViewHostProc, reinterpret_cast<UINT_PTR>(this));
    views_.clear();
}

void CMainViewCreation::RefreshCounters() {
    if (!watch_ || !drivers_) return;
    taskPane_.SetCounters(viewmodel::CountItems(*watch_), viewmodel::CountItems(*drivers_));
}

Views::CListViewEx* CMainViewCreation::View(unsigned id) {
    auto found = views_.find(id);
    if (found != views_.end()) return found->second.get();
    if (!watch_ || !window_) return nullptr;
    std::unique_ptr<Views::CListViewEx> view;
    switch (id) {
        case ID_VIEW_SOFTWARE: view = std::make_unique<Views::CWatchListView>(*watch_); break;
        case ID_VIEW_DRIVERS: view = std::make_unique<Views::CDriverView>(*drivers_); break;
        case ID_VIEW_DAILY: view = std::make_unique<Views::CDailyUpdatesView>(*daily_); break;
        case ID_VIEW_HISTORY: view = std::make_unique<Views::CDownloadHisView>(*history_); break;
        case ID_VIEW_SEARCH: view = std::make_unique<Views::CSearchView>(*search_); break;
        default: return nullptr;
    }
    OnViewCreated(*view);
    // The task pane counts the software and driver lists: their views'
    // actions (Skip Version, Remove, Reset, an uninstall's end) change them.
    if (id == ID_VIEW_SOFTWARE || id == ID_VIEW_DRIVERS) view->reloaded = [this] { RefreshCounters(); };
    if (!view->Create(instance_, window_)) {
        // A view that cannot be made is kept as missing: its commands do nothing.
        vnlog::Write("*** Could not create the list view " + std::to_string(id));
        views_[id] = nullptr;
        return nullptr;
    }
    view->Reload();
    // The preview follows the view's selection.
    SetWindowSubclass(view->Host(), ViewHostProc, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this));
    return (views_[id] = std::move(view)).get();
}

void CMainViewCreation::ShowView(unsigned id) {
    currentView_ = id;
    if (!split_.created) return;  // CreateClient shows it
    Views::CListViewEx* view = View(id);
    if (!view) return;
    // The keyboard follows to the new list when it was in the frame (not
    // when the frame is hidden or another window is in use).
    const HWND focus = GetFocus();
    const bool hadFocus = focus && (focus == window_ || IsChild(window_, focus));
    for (auto& [key, other] : views_) {
        if (other && key != id && key == shownView_) {
            other->SaveColumnWidths();
            other->Show(false);
        }
    }
    // A view taking over shows its list as it is now, and the counters too.
    if (shownView_ != id) {
        view->Reload();
        RefreshCounters();
    }
    shownView_ = id;
    LayoutClient();
    view->Show(true);
    if (hadFocus) {
        lastFocus_ = nullptr;
        SetFocus(view->KeyboardTarget());
    }
    ShowSelection();
}

void CMainViewCreation::FocusContent() {
    if (lastFocus_ && IsChild(window_, lastFocus_) && IsWindowVisible(lastFocus_)) {
        SetFocus(lastFocus_);
        return;
    }
    lastFocus_ = nullptr;
    if (!split_.created) return;
    if (auto found = views_.find(shownView_); found != views_.end() && found->second && found->second->KeyboardTarget())
        SetFocus(found->second->KeyboardTarget());
}

void CMainViewCreation::ReloadView(unsigned id) {
    if (auto found = views_.find(id); found != views_.end() && found->second) found->second->Reload();
}

void CMainViewCreation::ClearView(unsigned id) {
    if (auto found = views_.find(id); found != views_.end() && found->second) found->second->Clear();
}

RECT CMainViewCreation::FreeClientArea() {
    RECT area{};
    GetClientRect(window_, &area);
    return area;
}

appcore::LayoutRect CMainViewCreation::Area() {
    const RECT area = FreeClientArea();
    return {area.left, area.top, area.right, std::max(area.top, area.bottom)};
}

void CMainViewCreation::LayoutClient() {
    if (!split_.created || !window_) return;
    const appcore::LayoutRect area = Area();
    // While the user drags a window edge the rows keep their sizes; the
    // end of the move recalculates them.
    const bool leftButtonDown = drag_ == Drag::None && (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
    // The frame is created hidden: its size means nothing to the user until
    // it is shown, so the stored preview height is read at the first layout
    // of a visible window.
    const bool reload = split_.reloadPreview;
    appcore::RecalculateRows(split_, area.Height(), platform::AppSettings().ReadNumber(setting::kPreviewPaneCy, 0),
                             leftButtonDown);
    if (reload && !IsWindowVisible(window_)) split_.reloadPreview = true;
    PlaceWindows();
}

void CMainViewCreation::PlaceWindows() {
    panes_ = appcore::PlacePanes(split_, Area());
    const auto move = [](HWND window, const appcore::LayoutRect& r) {
        if (window) MoveWindow(window, r.left, r.top, r.Width(), r.Height(), TRUE);
    };
    move(taskPane_.Window(), panes_.taskPane);
    move(preview_.Window(), panes_.preview);
    if (auto found = views_.find(shownView_); found != views_.end() && found->second)
        found->second->Move(RECT{panes_.list.left, panes_.list.top, panes_.list.right, panes_.list.bottom});
    // The bars are the frame's own surface.
    const RECT column{panes_.columnBar.left, panes_.columnBar.top, panes_.columnBar.right, panes_.columnBar.bottom};
    const RECT row{panes_.rowBar.left, panes_.rowBar.top, panes_.rowBar.right, panes_.rowBar.bottom};
    InvalidateRect(window_, &column, TRUE);
    InvalidateRect(window_, &row, TRUE);
}

CMainViewCreation::Drag CMainViewCreation::BarAt(int x, int y) {
    if (!split_.created) return Drag::None;
    if (panes_.columnBar.Contains(x, y)) return Drag::Column;
    if (panes_.rowBar.Contains(x, y)) return Drag::Row;
    return Drag::None;
}

void CMainViewCreation::OnBarDrag(int x, int y, bool drop) {
    const appcore::LayoutRect area = Area();
    if (drag_ == Drag::Column) appcore::DropColumnBar(split_, area.Width(), x - area.left - dragOffset_);
    else if (drag_ == Drag::Row) appcore::DropRowBar(split_, area.Height(), y - area.top - dragOffset_);
    PlaceWindows();
    if (drop) {
        drag_ = Drag::None;
        if (GetCapture() == window_) ReleaseCapture();
    }
}

void CMainViewCreation::ShowSelection() {
    selectionPosted_ = false;
    Views::CListViewEx* view = nullptr;
    if (auto found = views_.find(shownView_); found != views_.end()) view = found->second.get();
    {
        // The pane copies what it shows; a scan may change the item meanwhile.
        std::optional<inventory::ContentLock::Read> hold;
        if (view) hold.emplace(view->AttachedList().ItemLock());
        preview_.Select(view ? view->SelectedItem() : nullptr);
    }
    preview_.ShowSelected();
}

LRESULT CALLBACK CMainViewCreation::ViewHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR data) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
            auto* self = reinterpret_cast<CMainViewCreation*>(data);
            // One notice for a burst of changes (a selection moving is two).
            if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED) &&
                !self->selectionPosted_ && self->window_) {
                self->selectionPosted_ = PostMessageA(self->window_, kSelectionChanged, 0, 0) != FALSE;
            }
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CMainViewCreation::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const RegisteredMessages& m = Messages();
    if (message >= 0xC000) {
        if (message == m.updateItem) {
            // A scan added or changed an item of the watch list: the software
            // view and the counters show it at once.
            ReloadView(ID_VIEW_SOFTWARE);
            RefreshCounters();
        } else if (message == m.startDailyUpdates) {
            if (dailyRefresh_) dailyRefresh_->Start();
        } else if (message == m.startDriverSearch) {
            ClearView(ID_VIEW_DRIVERS);
        } else if (message == m.endDriverSearch) {
            // Sent by the worker, which waits: the drivers it found gone are
            // deleted here, where no view is drawing them.
            if (drivers_) drivers_->DeleteGoneDrivers();
            ReloadView(ID_VIEW_DRIVERS);
            RefreshCounters();
            return drivers_ ? 1 : 0;
        } else if (message == m.htmlCreated) {
            preview_.OnPageCreated();
        }
        return 0;
    }
    switch (message) {
        case WM_SIZE: LayoutClient(); return 0;
        case WM_EXITSIZEMOVE:
            // The left button is up again: the rows are recalculated.
            LayoutClient();
            return CMainRegistration::OnMessage(message, wParam, lParam);
        case kSelectionChanged: ShowSelection(); return 0;
        case WM_SHOWWINDOW:
            // Laid out again once the window is visible (see LayoutClient).
            if (wParam && split_.reloadPreview) PostMessageA(window_, kRelayout, 0, 0);
            return CMainRegistration::OnMessage(message, wParam, lParam);
        case kRelayout: LayoutClient(); return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(window_, focus)) lastFocus_ = focus;
            }
            // The default activation gives the frame the keyboard, which
            // WM_SETFOCUS passes on.
            return CMainRegistration::OnMessage(message, wParam, lParam);
        case WM_SETFOCUS: FocusContent(); return 0;
        case WM_ERASEBKGND:
            // The class background (which the flat toolbar also shows
            // through), then the bars in the colour of buttons' faces.
            CMainRegistration::OnMessage(message, wParam, lParam);
            if (split_.created) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                for (const appcore::LayoutRect& bar : {panes_.columnBar, panes_.rowBar}) {
                    const RECT r{bar.left, bar.top, bar.right, bar.bottom};
                    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
                }
            }
            return 1;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == window_ && LOWORD(lParam) == HTCLIENT) {
                POINT at{};
                GetCursorPos(&at);
                ScreenToClient(window_, &at);
                const Drag bar = drag_ != Drag::None ? drag_ : BarAt(at.x, at.y);
                if (bar != Drag::None) {
                    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(bar == Drag::Column ? 32644 : 32645)));
                    return TRUE;  // IDC_SIZEWE, IDC_SIZENS
                }
            }
            return CMainRegistration::OnMessage(message, wParam, lParam);
        case WM_LBUTTONDOWN: {
            const int x = static_cast<short>(LOWORD(lParam));
            const int y = static_cast<short>(HIWORD(lParam));
            drag_ = BarAt(x, y);
            if (drag_ == Drag::Column) dragOffset_ = x - panes_.columnBar.left;
            else if (drag_ == Drag::Row) dragOffset_ = y - panes_.rowBar.top;
            if (drag_ != Drag::None) SetCapture(window_);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (drag_ != Drag::None)
                OnBarDrag(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), false);
            return 0;
        case WM_LBUTTONUP:
            if (drag_ != Drag::None)
                OnBarDrag(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), true);
            return 0;
        case WM_CAPTURECHANGED: drag_ = Drag::None; return 0;
        case WM_DESTROY:
            // The views' controls go with the window: keep their widths first.
            for (auto& entry : views_)
                if (entry.second) entry.second->SaveColumnWidths();
            return 0;
        default: return CMainRegistration::OnMessage(message, wParam, lParam);
    }
}

}  // namespace app
