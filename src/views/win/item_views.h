// The five item views of the main window, each a CListViewEx over its list:
// the installed software (the watch list), the installed drivers (with the
// system's device-class images), today's updates, the download history and
// the search results.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "views/win/list_view_ex.h"
#include "views/win/search_view.h"

#include <setupapi.h>

class VN_WatchList;
class VN_WatchItem;

namespace Views {

class CDriverData;

// What the software view does with the watch list's items.
class CWatchListHelper {
public:
    explicit CWatchListHelper(VN_WatchList& list) : list_(list) {}
    VN_WatchList& List() const { return list_; }
    static VN_WatchItem* AsWatchItem(VN_ItemGrandBase* item);

private:
    VN_WatchList& list_;
};

class CWatchListView : public CListViewEx {
public:
    // Posted to the view's host window by the uninstall thread when the
    // uninstaller and the processes it started have ended, or once its
    // product's uninstall entry is gone.
    static constexpr UINT kUninstallEnded = WM_APP + 11;

    explicit CWatchListView(VN_WatchList& list);
    const CWatchListHelper& Helper() const { return helper_; }

    // The add-application dialog: answers the program file or shortcut the
    // user picked, empty when cancelled (tests put a chooser in between).
    std::function<std::string()> pickProgramFile;
    // Called on the user-interface thread when an uninstall this view
    // started has been dealt with: the item was marked gone (true) or stays.
    std::function<void(bool gone)> uninstallFinished;

protected:
    LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void AddToWatchList() override;
    void Uninstall() override;
    void ResetList() override;

private:
    // The uninstall that runs: the item and what finds it again should the
    // list have changed meanwhile.
    struct PendingUninstall {
        VN_WatchItem* item = nullptr;
        std::string keyName;
        std::string command;
    };
    void FinishUninstall();
    // The list changed through the view: group state, file and rows.
    void ListChanged();

    CWatchListHelper helper_;
    PendingUninstall pending_;
};

class CDriverView : public CListViewEx {
public:
    explicit CDriverView(CDriverData& list);
    ~CDriverView() override;

protected:
    void OnCreated() override;
    int RowImage(const VN_ItemGrandBase& item) const override;

private:
    SP_CLASSIMAGELIST_DATA classImages_{};
    bool haveClassImages_ = false;
};

class CDailyUpdatesView : public CListViewEx {
public:
    explicit CDailyUpdatesView(VN_ListBase& list) : CListViewEx(viewmodel::ViewKind::Daily, list) {}
};

class CDownloadHisView : public CListViewEx {
public:
    explicit CDownloadHisView(VN_ListBase& list) : CListViewEx(viewmodel::ViewKind::History, list) {}
};

}  // namespace Views
