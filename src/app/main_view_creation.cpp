#include "app/main_view_creation.h"

#include <string>

#include "app/app_messages.h"
#include "dlmgr/download_item.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "resource.h"
#include "views/win/item_views.h"

namespace app {

CMainViewCreation::~CMainViewCreation() { DestroyViews(); }

void CMainViewCreation::LoadLists() {
    if (watch_) return;
    // The lists live for the whole process, loaded once from their files.
    const std::string dataFolder = platform::DataFolder();
    watch_ = std::make_unique<VN_WatchList>(dataFolder);
    watch_->Init();
    drivers_ = std::make_unique<Views::CDriverData>(dataFolder);
    drivers_->Load();
    daily_ = std::make_unique<VN_ListBase>();
    // The download history is kept in "downloadhistory.db"; the download
    // manager's "&Close" moves finished transfers into it.
    history_ = std::make_unique<dlmgr::CDownloadHistory>(dataFolder);
    history_->Load();
    search_ = std::make_unique<VN_ListBase>();
    vnlog::Write("Lists loaded: " + std::to_string(watch_->GetCount()) + " watch-list entries, " +
                 std::to_string(drivers_->GetCount()) + " drivers");
}

void CMainViewCreation::CreateClient() {
    clientCreated_ = true;
    ShowView(currentView_);
}

void CMainViewCreation::DestroyViews() { views_.clear(); }

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
    if (!view->Create(instance_, window_)) {
        // A view that cannot be made is kept as missing: its commands do nothing.
        vnlog::Write("*** Could not create the list view " + std::to_string(id));
        views_[id] = nullptr;
        return nullptr;
    }
    view->Reload();
    return (views_[id] = std::move(view)).get();
}

void CMainViewCreation::ShowView(unsigned id) {
    currentView_ = id;
    if (!clientCreated_) return;  // CreateClient shows it
    Views::CListViewEx* view = View(id);
    if (!view) return;
    for (auto& [key, other] : views_) {
        if (other && key != id && key == shownView_) {
            other->SaveColumnWidths();
            other->Show(false);
        }
    }
    // A view taking over shows its list as it is now.
    if (shownView_ != id) view->Reload();
    shownView_ = id;
    LayoutClient();
    view->Show(true);
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

void CMainViewCreation::LayoutClient() {
    auto found = views_.find(shownView_);
    if (found == views_.end() || !found->second) return;
    RECT area = FreeClientArea();
    if (area.bottom < area.top) area.bottom = area.top;
    found->second->Move(area);
}

LRESULT CMainViewCreation::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const RegisteredMessages& m = Messages();
    if (message >= 0xC000) {
        if (message == m.updateItem) {
            // A scan added or changed an item of the watch list: the software
            // view shows it at once.
            ReloadView(ID_VIEW_SOFTWARE);
        } else if (message == m.startDriverSearch) {
            ClearView(ID_VIEW_DRIVERS);
        } else if (message == m.endDriverSearch) {
            ReloadView(ID_VIEW_DRIVERS);
        }
        // The preview pane takes "WM_Varnel10_HtmlCreated"; there is none yet.
        return 0;
    }
    switch (message) {
        case WM_SIZE:
            LayoutClient();
            return 0;
        case WM_DESTROY:
            // The views' controls go with the window: keep their widths first.
            for (auto& entry : views_)
                if (entry.second) entry.second->SaveColumnWidths();
            return 0;
        default:
            return CMainRegistration::OnMessage(message, wParam, lParam);
    }
}

}  // namespace app
