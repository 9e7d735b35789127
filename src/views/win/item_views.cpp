#include "views/win/item_views.h"

#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/log.h"

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

CWatchListView::CWatchListView(VN_WatchList& list) : CListViewEx(viewmodel::ViewKind::Software, list), helper_(list) {}

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
