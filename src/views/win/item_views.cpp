#include "views/win/item_views.h"

#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/win/wide.h"
#include "scanners/item_uninstall.h"
#include "scanners/products.h"
#include "scanners/program_discovery.h"
#include "views/win/uninstall_runner.h"

#include <commdlg.h>

namespace Views {

namespace {

bool ParseGuid(const std::string& text, GUID& guid) {
    unsigned long d1 = 0;
    unsigned d2 = 0, d3 = 0, b[8] = {};
    const char* at = text.c_str();
    if (*at == '{') ++at;
    if (sscanf(at, "%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5],
               &b[6], &b[7]) != 11)
        return false;
    guid.Data1 = d1;
    guid.Data2 = static_cast<unsigned short>(d2);
    guid.Data3 = static_cast<unsigned short>(d3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(b[i]);
    return true;
}

}  // namespace

// ------------------------------------------------------------ CWatchListHelper

VN_WatchItem* CWatchListHelper::AsWatchItem(VN_ItemGrandBase* item) { return dynamic_cast<VN_WatchItem*>(item); }

// -------------------------------------------------------------- CWatchListView

CWatchListView::CWatchListView(VN_WatchList& list) : CListViewEx(viewmodel::ViewKind::Software, list), helper_(list) {
    pickProgramFile = [this]() -> std::string {
        // Asked for in UTF-16, so that a program in a folder whose name the
        // code page cannot hold is still named by a path that opens it.
        wchar_t path[MAX_PATH] = {};
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = host_ ? GetParent(host_) : nullptr;
        dialog.lpstrFilter = L"Programs (*.exe;*.lnk)\0*.exe;*.lnk\0All Files (*.*)\0*.*\0";
        dialog.lpstrFile = path;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrTitle = L"Add to my Watch List";
        dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS;
        return GetOpenFileNameW(&dialog) ? platform::AnsiPath(path) : std::string();
    };
}

void CWatchListView::ListChanged() {
    {
        inventory::ContentLock::Write hold(helper_.List().ItemLock());
        helper_.List().SyncGroupVars();
    }
    helper_.List().Save();
    Reload();
}

void CWatchListView::AddToWatchList() {
    VN_WatchList& list = helper_.List();
    viewmodel::AddMode mode = viewmodel::AddMode::None;
    {
        // Held while the selected program is copied and marked; not while
        // the file picker below is open, which would hold up a scan.
        inventory::ContentLock::Write hold(list.ItemLock());
        VN_ItemGrandBase* selected = SelectedItem();
        mode = viewmodel::AddToWatchListMode(kind_, selected);
        if (mode == viewmodel::AddMode::SelectedItem) {
            // The selected program becomes the user's own: tracked from now
            // on and kept by a reset.
            VN_WatchItem* item = CWatchListHelper::AsWatchItem(selected);
            VN_WatchItem own;
            own.CopyFrom(*item);
            own.userAdded = true;
            if (list.FindSameItem(own) == item) {
                list.AddUserItem(own);
            } else {
                // An item the list cannot find by its identity (another entry
                // matches first, or none does) is marked in place, never
                // added a second time.
                item->userAdded = true;
                list.SetModified();
            }
        }
    }
    switch (mode) {
        case viewmodel::AddMode::SelectedItem: ListChanged(); return;
        case viewmodel::AddMode::PickFile: {
            const std::string path = pickProgramFile ? pickProgramFile() : std::string();
            if (path.empty()) return;
            // Refusals are reported by the manual add itself.
            if (scanners::AddUserApplication(list, path) == 0) ListChanged();
            return;
        }
        case viewmodel::AddMode::None: return;
    }
}

void CWatchListView::Uninstall() {
    if (CUninstallRunner::Busy()) return;
    PendingUninstall pending;
    {
        inventory::ContentLock::Read hold(helper_.List().ItemLock());
        VN_ItemGrandBase* item = SelectedItem();
        VN_WatchItem* watch = CWatchListHelper::AsWatchItem(item);
        if (!watch) return;
        pending = PendingUninstall{watch, watch->keyName, viewmodel::UninstallCommand(*item)};
    }
    if (pending.command.empty()) return;
    vnlog::Write("Uninstall: " + pending.command);
    // The wait for the uninstaller's own processes ends once its entry is
    // gone: a browser it opens at the end must not hold the next uninstall.
    std::function<bool()> done;
    if (!pending.keyName.empty())
        done = [key = pending.keyName] { return !RegScan::IsProductInstalled(key, RegScan::PlatformProductSources()); };
    if (CUninstallRunner::Start(pending.command, host_, kUninstallEnded, std::move(done)))
        pending_ = std::move(pending);
}

void CWatchListView::FinishUninstall() {
    const PendingUninstall pending = std::move(pending_);
    pending_ = PendingUninstall{};
    if (!pending.item) return;
    // The list may have changed while the uninstaller ran (a scan adds and
    // deletes entries): the item counts only when it is still in the list.
    VN_WatchList& list = helper_.List();
    bool gone = false;
    {
        inventory::ContentLock::Write hold(list.ItemLock());  // a scan may be changing the entries
        VN_WatchItem* item = nullptr;
        for (VN_WatchItem* entry : list.WatchItems()) {
            if (entry == pending.item && entry->keyName == pending.keyName) {
                item = entry;
                break;
            }
        }
        if (!item && !pending.keyName.empty()) {
            for (VN_WatchItem* entry : list.WatchItems()) {
                if (entry->keyName == pending.keyName && entry->removed == item_state::kPresent) {
                    item = entry;
                    break;
                }
            }
        }
        if (item && scanners::MarkIfUninstalled(list, *item) == scanners::UninstallOutcome::Gone) {
            gone = true;
            vnlog::Write("Uninstalled: " + item->GetDisplayName(false));
        }
    }
    if (gone) ListChanged();
    if (uninstallFinished) uninstallFinished(gone);
}

LRESULT CWatchListView::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kUninstallEnded) {
        FinishUninstall();
        return 0;
    }
    return CListViewEx::OnHostMessage(message, wParam, lParam);
}

void CWatchListView::ResetList() {
    // Everything the scans found goes; the programs the user added stay.
    // The rows go first: they point at the items about to be deleted.
    Clear();
    helper_.List().ClearNonUserItems();
    ListChanged();
}

// ----------------------------------------------------------------- CDriverView

CDriverView::CDriverView(CDriverData& list) : CListViewEx(viewmodel::ViewKind::Drivers, list) {}

CDriverView::~CDriverView() {
    if (haveClassImages_) {
        // The control must not draw with the list once it is gone.
        if (list_) SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        SetupDiDestroyClassImageList(&classImages_);
    }
}

void CDriverView::OnCreated() {
    classImages_.cbSize = sizeof classImages_;
    haveClassImages_ = SetupDiGetClassImageList(&classImages_) != FALSE;
    if (haveClassImages_) SetSmallImages(classImages_.ImageList);
}

int CDriverView::RowImage(const VN_ItemGrandBase& item) const {
    const auto* driver = dynamic_cast<const VN_DriverItem*>(&item);
    if (!haveClassImages_ || !driver) return -1;
    GUID guid{};
    if (!ParseGuid(driver->classGuid, guid)) return -1;
    int index = -1;
    SP_CLASSIMAGELIST_DATA images = classImages_;
    return SetupDiGetClassImageIndex(&images, &guid, &index) ? index : -1;
}

}  // namespace Views
