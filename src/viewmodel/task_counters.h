// The task pane's counters: how many items a list holds and how many of them
// are out of date (an update is available and the user has not skipped it).
// Items the user removed or that are no longer installed are not counted.
#pragma once

#include <string>

#include "inventory/list_base.h"

namespace viewmodel {

struct ListCounters {
    int all = 0;
    int outOfDate = 0;
    bool operator==(const ListCounters& o) const { return all == o.all && outOfDate == o.outOfDate; }
};

ListCounters CountItems(const VN_ListBaseSync& list);

// "12 items, 3 out of date" (with "item" for one).
std::string CountersText(const ListCounters& counters);

}  // namespace viewmodel
