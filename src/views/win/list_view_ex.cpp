#include "views/win/list_view_ex.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "inventory/guid_item.h"
#include "inventory/list_base.h"
#include "platform/log.h"
#include "platform/settings.h"
#include "platform/web_address.h"
#include "platform/win/own_windows.h"
#include "resource.h"
#include "viewmodel/download_action.h"
#include "views/win/item_feedback_dlg.h"
#include "views/win/item_properties.h"
#include "views/win/uninstall_runner.h"

namespace Views {

namespace {

constexpr char kHostClass[] = "VarnelListHost";
constexpr UINT kReloadMessage = WM_APP + 10;  // the rows went stale while drawing
constexpr UINT_PTR kListSubclassId = 1;

}  // namespace

// ------------------------------------------------------------ CListViewGdiInit

CListViewGdiInit::~CListViewGdiInit() {
    if (host_) {
        SetWindowLongPtrA(host_, GWLP_USERDATA, 0);
        DestroyWindow(host_);
    }
    if (font_) DeleteObject(font_);
}

bool CListViewGdiInit::CreateWindows(HINSTANCE instance, HWND parent) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (!platform::RegisterWindowClass(instance, kHostClass, &CListViewGdiInit::HostProc, COLOR_WINDOW)) return false;
    host_ = CreateWindowExA(0, kHostClass, "", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr, instance, this);
    if (!host_) return false;
    list_ = CreateWindowExA(
        WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0, 0, 0, 0,
        host_, nullptr, instance, nullptr);
    if (!list_) return false;
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP,
                 LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectA(&metrics.lfMessageFont);
    SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetWindowSubclass(list_, &CListViewGdiInit::ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void CListViewGdiInit::Show(bool show) {
    if (host_) ShowWindow(host_, show ? SW_SHOW : SW_HIDE);
}

void CListViewGdiInit::Move(const RECT& area) {
    if (host_) MoveWindow(host_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

void CListViewGdiInit::SetSmallImages(HIMAGELIST images) {
    if (list_) SendMessageA(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

LRESULT CListViewGdiInit::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && list_) {
        MoveWindow(list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    return DefWindowProcA(host_, message, wParam, lParam);
}

LRESULT CALLBACK CListViewGdiInit::HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CListViewGdiInit*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->host_ = window;
    }
    auto* self = reinterpret_cast<CListViewGdiInit*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->host_ = nullptr;
        self->list_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    try {
        return self->OnHostMessage(message, wParam, lParam);
    } catch (...) {
        vnlog::Warning("CListViewGdiInit::HostProc", true);
        return 0;
    }
}

LRESULT CALLBACK CListViewGdiInit::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &CListViewGdiInit::ListProc, kListSubclassId);
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SYSCOLORCHANGE) {
        // Some list controls keep the colours they were created with; the
        // system's new ones are given to them.
        SendMessageA(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
        SendMessageA(window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
        SendMessageA(window, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOWTEXT)));
        InvalidateRect(window, nullptr, TRUE);
    }
    if (message == WM_PAINT) {
        auto* self = reinterpret_cast<CListViewGdiInit*>(data);
        if (HDC dc = GetDC(window)) {
            try {
                self->OnListPainted(dc);
            } catch (...) {
                vnlog::Warning("CListViewGdiInit::ListProc", true);
            }
            ReleaseDC(window, dc);
        }
    }
    return result;
}

// ---------------------------------------------------------- CListViewBaseEvent

LRESULT CListViewBaseEvent::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            LRESULT result = 0;
            if (header && header->hwndFrom == list_ && OnListNotify(*header, result)) return result;
            break;
        }
        case WM_CONTEXTMENU: {
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            OnContextMenu(at);
            return 0;
        }
        case WM_COMMAND:
            // Menu commands of the views go to the frame, which forwards the
            // list actions to the current view.
            return SendMessageA(GetParent(host_), WM_COMMAND, wParam, lParam);
        default: break;
    }
    return CListViewGdiInit::OnHostMessage(message, wParam, lParam);
}

void CListViewBaseEvent::OnContextMenu(POINT) {}

// ----------------------------------------------------------- CListViewBaseTree

void CListViewBaseTree::DoAction(int) {}

appcore::CommandUi CListViewBaseTree::ActionState(int) const {
    appcore::CommandUi ui;
    ui.enabled = false;
    return ui;
}

// ----------------------------------------------------------------- CListViewEx

CListViewEx::CListViewEx(viewmodel::ViewKind kind, VN_ListBase& list) : kind_(kind), data_(list) {
    startShown = [](const std::string& line) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        std::string buffer = line;
        if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            vnlog::Write("*** Could not start: " + line);
            return false;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    };
    reportItem = [this](VN_UpdatedItem& item) {
        return CItemFeedbackDlg(GetModuleHandleA(nullptr), item).DoModal(GetAncestor(host_, GA_ROOT));
    };
    openPage = [](const std::string& address) {
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
    };
}

void CListViewEx::DoAction(int index) {
    if (!ActionState(index).enabled) return;
    // A scan may change or delete the selected item meanwhile: what an
    // action needs of it is taken under the item lock, and what it then
    // does (a page opened, a program started, a window shown) runs after.
    switch (index) {
        case viewmodel::kUntrackedItems: SetShowUntracked(!showUntracked_); return;
        case viewmodel::kReadMore: {
            std::string page;
            {
                inventory::ContentLock::Read hold(data_.ItemLock());
                if (const VN_ItemGrandBase* item = SelectedItem()) page = viewmodel::ProductPage(*item);
            }
            if (!page.empty() && platform::AcceptWebPage(page)) openPage(page);
            return;
        }
        case viewmodel::kDownload: {
            std::optional<viewmodel::DownloadChoice> choice;
            {
                inventory::ContentLock::Read hold(data_.ItemLock());
                if (const VN_ItemGrandBase* item = SelectedItem())
                    choice = viewmodel::ChooseDownload(*item, viewmodel::CatalogueBaseFromSettings());
            }
            if (choice) Download(*choice);
            return;
        }
        case viewmodel::kFindTarget: {
            std::optional<std::string> command;
            {
                inventory::ContentLock::Read hold(data_.ItemLock());
                if (const VN_ItemGrandBase* item = SelectedItem())
                    command = viewmodel::FindTargetCommand(viewmodel::TargetPath(*item));
            }
            if (command) startShown(*command);
            return;
        }
        case viewmodel::kProperties: ShowProperties(); return;
        case viewmodel::kAddToWatchList: AddToWatchList(); return;
        case viewmodel::kUninstall: Uninstall(); return;
        case viewmodel::kReset: ResetList(); return;
        case viewmodel::kReportItem:
            // Offered only while no worker runs, and none starts while a
            // report window holds the item.
            if (auto* updated = dynamic_cast<VN_UpdatedItem*>(SelectedItem()); updated && reportItem(*updated)) {
                data_.Save();
                Reload();
            }
            return;
        case viewmodel::kSkipVersion:
        case viewmodel::kUnskipVersion:
        case viewmodel::kRemoveFromWatchList: {
            bool changed = false;
            {
                inventory::ContentLock::Write hold(data_.ItemLock());
                VN_ItemGrandBase* item = SelectedItem();
                changed = item && viewmodel::ApplyItemAction(index, *item);
            }
            if (changed) {
                data_.Save();
                Reload();
            }
            return;
        }
        default: return;
    }
}

void CListViewEx::Download(const viewmodel::DownloadChoice& choice) {
    if (!choice.address.empty() && startDownload) {
        vnlog::Write("Download of " + choice.name + " from " + choice.address);
        startDownload(choice.name, choice.address);
    } else if (!choice.page.empty() && platform::AcceptWebPage(choice.page)) {
        openPage(choice.page);
    }
}

appcore::CommandUi CListViewEx::ActionState(int index) const {
    inventory::ContentLock::Read hold(data_.ItemLock());
    viewmodel::ActionContext context;
    context.selected = SelectedItem();
    context.showUntracked = showUntracked_;
    context.listHoldsItems = data_.GetCount() > 0;
    context.workerRunning = workerRunning && workerRunning();
    context.uninstallRunning = CUninstallRunner::Busy();
    const viewmodel::ActionUi state = viewmodel::ListActionState(kind_, index, context);
    appcore::CommandUi ui;
    ui.enabled = state.enabled;
    ui.checked = state.checked;
    return ui;
}

void CListViewEx::ShowProperties() const {
    std::string title, text;
    {
        inventory::ContentLock::Read hold(data_.ItemLock());
        const VN_ItemGrandBase* item = SelectedItem();
        if (!item) return;
        const std::vector<std::string> texts = viewmodel::RowTexts(kind_, *item);
        // The name column: the second in the driver view (after the class).
        const size_t nameColumn = kind_ == viewmodel::ViewKind::Drivers ? 1 : 0;
        const std::string name = nameColumn < texts.size() ? texts[nameColumn] : std::string();
        title = (name.empty() ? std::string("Item") : name) + " Properties";
        text = viewmodel::ItemPropertiesText(kind_, *item);
    }
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(host_, GWLP_HINSTANCE));
    CItemPropertiesWnd::Show(instance, GetParent(host_), title, text);
}

std::pair<HMENU, HMENU> CListViewEx::LoadContextMenu() const {
    int id = 0;
    switch (kind_) {
        case viewmodel::ViewKind::Software: id = IDR_SOFTWARE_MENU; break;
        case viewmodel::ViewKind::Drivers: id = IDR_DRIVER_MENU; break;
        case viewmodel::ViewKind::Daily: id = IDR_DAILY_MENU; break;
        case viewmodel::ViewKind::History: id = IDR_HISTORY_MENU; break;
        case viewmodel::ViewKind::Search: id = IDR_SEARCH_MENU; break;
    }
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(host_, GWLP_HINSTANCE));
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(id));
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (!popup) {
        if (menu) DestroyMenu(menu);
        return {nullptr, nullptr};
    }
    int report = -1, uninstall = -1;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        const UINT command = GetMenuItemID(popup, i);
        if (command == ID_LA_REPORT && report < 0) report = i;
        if (command == ID_LA_UNINSTALL && uninstall < 0) uninstall = i;
    }
    const int at = viewmodel::UninstallInsertPosition(report, uninstall);
    if (at >= 0) {
        InsertMenuA(popup, static_cast<UINT>(at), MF_BYPOSITION | MF_STRING, ID_LA_UNINSTALL, "Uninstall");
        InsertMenuA(popup, static_cast<UINT>(at + 1), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
    return {menu, popup};
}

void CListViewEx::OnContextMenu(POINT at) {
    HWND control = list_;
    if (!control) return;
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: below the selected row, else at the list's corner.
        RECT row{};
        row.left = LVIR_LABEL;
        const int selected =
            static_cast<int>(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (selected < 0 || !SendMessageA(control, LVM_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&row)))
            row = RECT{0, 0, 0, 0};
        at = POINT{row.left + 8, row.bottom};
        ClientToScreen(control, &at);
    }
    const auto [menu, popup] = LoadContextMenu();
    if (!popup) return;
    // The frame owns the menu: it enables the items as the menu opens (the
    // list actions through this view) and receives the chosen command.
    HWND frame = GetParent(host_);
    SetForegroundWindow(frame);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, frame, nullptr);
    DestroyMenu(menu);
}

CListViewEx::~CListViewEx() {
    // Store the widths while the control still exists.
    if (list_ && IsWindow(list_)) SaveColumnWidths();
}

bool CListViewEx::Create(HINSTANCE instance, HWND parent) {
    if (!CreateWindows(instance, parent)) return false;
    const platform::Settings& settings = platform::AppSettings();
    const viewmodel::ViewDefinition& definition = viewmodel::Definition(kind_);
    const std::vector<int> widths = viewmodel::ReadColumnWidths(settings, kind_);
    for (size_t i = 0; i < definition.columns.size(); ++i) {
        std::string title = viewmodel::ColumnTitle(definition.columns[i]);
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = definition.columns[i].centred && i > 0 ? LVCFMT_CENTER : LVCFMT_LEFT;
        column.cx = widths[i];
        column.pszText = title.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageA(list_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    sortOrder_ = viewmodel::ReadSortOrder(settings, kind_);
    showUntracked_ = viewmodel::ReadShowUntracked(settings, kind_);
    OnCreated();
    return true;
}

void CListViewEx::SaveColumnWidths() const {
    HWND control = list_;
    if (!control) return;
    std::vector<int> widths;
    for (size_t i = 0; i < viewmodel::Definition(kind_).columns.size(); ++i)
        widths.push_back(static_cast<int>(SendMessageA(control, LVM_GETCOLUMNWIDTH, i, 0)));
    viewmodel::StoreColumnWidths(platform::AppSettings(), kind_, widths);
}

void CListViewEx::Reload() {
    // The control keeps its selection by row number. The rows move when they
    // are rebuilt (a sort, an item a scan added or removed), so the selection
    // is taken by item and put back on the same items' new rows: an action
    // must never reach a program the user did not pick. The old rows' items
    // may be gone: they are compared here, never used.
    HWND control = list_;
    std::unordered_set<const VN_ItemGrandBase*> selected;
    const VN_ItemGrandBase* focused = nullptr;
    if (control) {
        const auto rowItem = [this](LRESULT row) -> const VN_ItemGrandBase* {
            return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)] : nullptr;
        };
        for (LRESULT row = -1;
             (row = SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)) >= 0;)
            if (const VN_ItemGrandBase* item = rowItem(row)) selected.insert(item);
        focused = rowItem(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    }
    {
        inventory::ContentLock::Read hold(data_.ItemLock());
        rowsVersion_ = data_.StructureVersion();
        rows_ = viewmodel::BuildRows(kind_, data_, showUntracked_, sortOrder_);
    }
    cleared_ = false;
    if (reloaded) reloaded();
    if (!control) return;
    SendMessageA(control, LVM_SETITEMCOUNT, rows_.size(), 0);
    if (!selected.empty() || focused) {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(control, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
        for (size_t row = 0; row < rows_.size(); ++row) {
            state.state = (selected.count(rows_[row]) ? LVIS_SELECTED : 0) | (rows_[row] == focused ? LVIS_FOCUSED : 0);
            if (state.state) SendMessageA(control, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        }
    }
    // Mark the sorted column in the header.
    const viewmodel::SortOrder sort = viewmodel::DecodeSortOrder(kind_, sortOrder_);
    HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
    for (int i = 0; header && i < static_cast<int>(viewmodel::Definition(kind_).columns.size()); ++i) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == sort.column && !sort.byUpdateState) item.fmt |= sort.ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    InvalidateRect(control, nullptr, TRUE);
}

void CListViewEx::Clear() {
    rows_.clear();
    cleared_ = true;
    if (HWND control = list_) {
        SendMessageA(control, LVM_SETITEMCOUNT, 0, 0);
        InvalidateRect(control, nullptr, TRUE);
    }
}

void CListViewEx::SetSortOrder(int order) {
    if (!viewmodel::ValidSortOrder(kind_, order)) return;
    sortOrder_ = order;
    platform::AppSettings().WriteNumber(viewmodel::Definition(kind_).sortSetting, static_cast<uint32_t>(order));
    Reload();
}

void CListViewEx::SetShowUntracked(bool show) {
    showUntracked_ = show;
    if (const char* name = viewmodel::Definition(kind_).untrackedSetting) platform::AppSettings().WriteFlag(name, show);
    Reload();
}

bool CListViewEx::RowsCurrent() const { return data_.StructureVersion() == rowsVersion_; }

VN_ItemGrandBase* CListViewEx::ItemAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size() || !RowsCurrent()) return nullptr;
    return rows_[static_cast<size_t>(row)];
}

VN_ItemGrandBase* CListViewEx::SelectedItem() const {
    HWND control = list_;
    if (!control) return nullptr;
    const int row = static_cast<int>(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return ItemAt(row);
}

std::string CListViewEx::EmptyText() const {
    if (!rows_.empty()) return std::string();
    return viewmodel::EmptyListText(kind_, data_.GetCount() > 0);
}

LRESULT CListViewEx::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kReloadMessage) {
        if (!cleared_) Reload();
        return 0;
    }
    return CListViewBaseTree::OnHostMessage(message, wParam, lParam);
}

bool CListViewEx::OnListNotify(const NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW: {
            auto& info = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header));
            const int row = info.item.iItem;
            // Held while the row's item is read: a worker neither deletes
            // nor changes it meanwhile (ItemAt's check then stays true).
            inventory::ContentLock::Read hold(data_.ItemLock());
            VN_ItemGrandBase* item = ItemAt(row);
            if (!item && !RowsCurrent() && !rows_.empty()) PostMessageA(host_, kReloadMessage, 0, 0);
            if ((info.item.mask & LVIF_IMAGE) && info.item.iSubItem == 0)
                info.item.iImage = item ? RowImage(*item) : -1;
            if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
                textBuffer_.clear();
                if (item) {
                    const std::vector<std::string> texts = viewmodel::RowTexts(kind_, *item);
                    if (info.item.iSubItem >= 0 && static_cast<size_t>(info.item.iSubItem) < texts.size())
                        textBuffer_ = texts[static_cast<size_t>(info.item.iSubItem)];
                }
                if (header.code == LVN_GETDISPINFOA) {
                    lstrcpynA(info.item.pszText, textBuffer_.c_str(), info.item.cchTextMax);
                } else {
                    auto& wide = reinterpret_cast<NMLVDISPINFOW&>(info);
                    const int n = MultiByteToWideChar(CP_ACP, 0, textBuffer_.c_str(), -1, wide.item.pszText,
                                                      wide.item.cchTextMax);
                    if (n == 0) wide.item.pszText[0] = L'\0';
                    wide.item.pszText[wide.item.cchTextMax - 1] = L'\0';
                }
            }
            result = 0;
            return true;
        }
        case NM_CUSTOMDRAW: {
            // Rows of items with an update are drawn in dark red.
            auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
                result = CDRF_NOTIFYITEMDRAW;
            } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                inventory::ContentLock::Read hold(data_.ItemLock());
                const VN_ItemGrandBase* item = ItemAt(static_cast<int>(draw.nmcd.dwItemSpec));
                if (item && viewmodel::RowHasUpdate(*item)) draw.clrText = platform::WarningColour(RGB(176, 0, 0));
                result = CDRF_DODEFAULT;
            } else {
                result = CDRF_DODEFAULT;
            }
            return true;
        }
        case LVN_COLUMNCLICK: {
            const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
            SetSortOrder(viewmodel::SortOrderForColumnClick(kind_, sortOrder_, click.iSubItem));
            result = 0;
            return true;
        }
        default: return false;
    }
}

void CListViewEx::OnListPainted(HDC dc) {
    const std::string text = EmptyText();
    HWND control = list_;
    if (text.empty() || !control) return;
    RECT area{};
    GetClientRect(control, &area);
    HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
    RECT headerRect{};
    if (header && GetWindowRect(header, &headerRect)) area.top += headerRect.bottom - headerRect.top;
    InflateRect(&area, -16, -12);
    if (area.right <= area.left || area.bottom <= area.top) return;
    HGDIOBJ oldFont = SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

}  // namespace Views
