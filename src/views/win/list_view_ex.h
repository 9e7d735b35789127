// The item list views of the main window: a report-style list control in a
// host window of its own, attached to one list of the program.
//
// The control runs in owner-data mode (LVS_OWNERDATA): the view keeps the
// rows as item pointers in the model's order and the control asks for each
// text as it draws. The items belong to the lists and a worker thread fills
// them during a scan, so copying their texts into the control would show
// stale values; asking at draw time shows what the item holds now, sorting
// stays the model's one decision, and a reload costs one count. The rows are
// tied to the list's structure version: when the list has changed under them
// (entries added or deleted) the view rebuilds before it touches any item.
//
// Chain, from the base: CListViewGdiInit (windows, font, image list),
// CListViewBaseEvent (the control's notifications: texts, header clicks,
// column widths, the context menu), CListViewBaseTree (the list actions, each
// a pair of operations: perform it, and say whether it is enabled), then
// CListViewEx (the attached list, its rows, sort order and empty-list text).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "appcore/commands.h"
#include "platform/win/win.h"
#include "viewmodel/download_action.h"
#include "viewmodel/list_rows.h"

#include <commctrl.h>

class VN_ListBase;
class VN_UpdatedItem;

namespace Views {

class CListViewGdiInit {
public:
    virtual ~CListViewGdiInit();
    CListViewGdiInit(const CListViewGdiInit&) = delete;
    CListViewGdiInit& operator=(const CListViewGdiInit&) = delete;

    // Creates the host window as a child of `parent` (hidden) with the list
    // control filling it.
    bool CreateWindows(HINSTANCE instance, HWND parent);
    HWND Host() const { return host_; }
    HWND List() const { return list_; }
    // The child that takes the keyboard when the view is shown: its list,
    // unless the view has a place where one types first.
    virtual HWND KeyboardTarget() const { return list_; }
    void Show(bool show);
    void Move(const RECT& area);

protected:
    CListViewGdiInit() = default;
    // The host's messages, after the base has taken what it handles.
    virtual LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The list control's paint, after the control has drawn itself.
    virtual void OnListPainted(HDC) {}
    void SetSmallImages(HIMAGELIST images);

    HWND host_ = nullptr;
    HWND list_ = nullptr;
    HFONT font_ = nullptr;

private:
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
};

class CListViewBaseEvent : public CListViewGdiInit {
protected:
    LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The control's notifications, for the derived views.
    virtual bool OnListNotify(const NMHDR& header, LRESULT& result) = 0;
    // The item context menu at `at` (screen) for the selected row.
    virtual void OnContextMenu(POINT at);
};

class CListViewBaseTree : public CListViewBaseEvent {
public:
    // The list actions in the order of the command table: perform the action
    // at `index` (0-11), and the command's enabled and checked state. The base
    // performs nothing and answers disabled.
    virtual void DoAction(int index);
    virtual appcore::CommandUi ActionState(int index) const;
};

class CListViewEx : public CListViewBaseTree {
public:
    CListViewEx(viewmodel::ViewKind kind, VN_ListBase& list);
    ~CListViewEx() override;

    viewmodel::ViewKind Kind() const { return kind_; }
    VN_ListBase& AttachedList() const { return data_; }

    // Creates the windows and the columns with their stored widths; reads the
    // sort order and the untracked-items flag.
    bool Create(HINSTANCE instance, HWND parent);
    // Rebuilds the rows from the list.
    void Reload();
    // Empties the view until the next reload (the list is about to change).
    void Clear();

    // The list actions on the selected item, as the row model decides them.
    void DoAction(int index) override;
    appcore::CommandUi ActionState(int index) const override;
    // Start a command line shown normally, and open an address with the
    // shell's "open" verb (tests put recorders in between).
    std::function<bool(const std::string&)> startShown;
    std::function<bool(const std::string&)> openPage;
    // Hands a direct download (name, address) to the download manager and
    // shows it; unset, "Download" opens product pages only.
    std::function<void(const std::string&, const std::string&)> startDownload;
    // Whether a scan or check is running over the lists (the frame's
    // worker); actions that delete items wait for it to end.
    std::function<bool()> workerRunning;
    // Called whenever the rows were rebuilt from the list (an action changed
    // items, a scan added some): what shows counts of the list follows.
    std::function<void()> reloaded;

    // The item context menu of the view, built from its menu resource with
    // "Uninstall" and a separator before "Report...": the loaded menu (to be
    // destroyed by the caller) and its popup, or nulls when the view has none.
    std::pair<HMENU, HMENU> LoadContextMenu() const;
    // Opens the report dialog for the item; true when its report changed
    // (the list is then saved).
    std::function<bool(VN_UpdatedItem&)> reportItem;
    // Stores the column widths under their settings.
    void SaveColumnWidths() const;

    int SortOrder() const { return sortOrder_; }
    void SetSortOrder(int order);
    bool ShowUntracked() const { return showUntracked_; }
    void SetShowUntracked(bool show);
    size_t RowCount() const { return rows_.size(); }
    // The item of a row, or null (also when the list changed under the rows).
    VN_ItemGrandBase* ItemAt(int row) const;
    VN_ItemGrandBase* SelectedItem() const;
    // The text drawn when no row is shown; empty when there is none.
    std::string EmptyText() const;

protected:
    LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnListNotify(const NMHDR& header, LRESULT& result) override;
    void OnListPainted(HDC dc) override;
    void OnContextMenu(POINT at) override;
    // The list actions that only some views carry out.
    // On the selected item, which each takes under the item lock itself.
    virtual void AddToWatchList() {}
    virtual void Uninstall() {}
    virtual void ResetList() {}
    void ShowProperties() const;
    // The image of a row's first column, or -1 for none.
    virtual int RowImage(const VN_ItemGrandBase&) const { return -1; }
    // Called after Create made the control (image lists and the like).
    virtual void OnCreated() {}
    bool RowsCurrent() const;
    // "Download": a direct download to the download manager, else the product page.
    void Download(const viewmodel::DownloadChoice& choice);

    viewmodel::ViewKind kind_;
    VN_ListBase& data_;

private:
    std::vector<VN_ItemGrandBase*> rows_;
    uint64_t rowsVersion_ = 0;
    bool cleared_ = false;
    int sortOrder_ = 0;
    bool showUntracked_ = false;
    std::string textBuffer_;  // the text the control last asked for
};

}  // namespace Views
