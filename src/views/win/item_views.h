// The five item views of the main window, each a CListViewEx over its list:
// the installed software (the watch list), the installed drivers (with the
// system's device-class images), today's updates, the download history and
// the search results.
#pragma once

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
    explicit CWatchListView(VN_WatchList& list);
    const CWatchListHelper& Helper() const { return helper_; }

private:
    CWatchListHelper helper_;
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
