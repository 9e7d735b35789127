#include "viewmodel/task_counters.h"

#include "inventory/guid_item.h"

namespace viewmodel {

ListCounters CountItems(const VN_ListBaseSync& list) {
    ListCounters counters;
    inventory::ContentLock::Read hold(list.ItemLock());
    for (VN_ItemGrandBase* entry : list.Snapshot()) {
        const auto* item = dynamic_cast<const VN_UpdatedItem*>(entry);
        if (item == nullptr || item->removed != item_state::kPresent) continue;
        ++counters.all;
        if (item->IsUpdateCandidate()) ++counters.outOfDate;
    }
    return counters;
}

std::string CountersText(const ListCounters& counters) {
    return std::to_string(counters.all) + (counters.all == 1 ? " item, " : " items, ") +
           std::to_string(counters.outOfDate) + " out of date";
}

}  // namespace viewmodel
