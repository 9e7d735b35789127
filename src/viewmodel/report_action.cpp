#include "viewmodel/report_action.h"

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"

namespace viewmodel {

bool ReportActionEnabled(ViewKind kind, const VN_ItemGrandBase* selected) {
    if (!selected || selected->removed != item_state::kPresent) return false;
    switch (kind) {
        case ViewKind::Software: return dynamic_cast<const VN_WatchItem*>(selected) != nullptr;
        case ViewKind::Drivers: return dynamic_cast<const VN_DriverItem*>(selected) != nullptr;
        default: return false;
    }
}

}  // namespace viewmodel
