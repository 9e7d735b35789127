// Views::CDriverData: the driver list. It holds the drivers that the driver
// search found on this computer (VN_DriverItem only) and lives in the data
// folder as "\driverdata.db".
#pragma once

#include <string>

#include "inventory/driver_item.h"
#include "inventory/list_base.h"

namespace Views {

class CDriverData : public VN_ListUpdatedBase {
public:
    // `dataFolder`: the data folder the file lives in; empty keeps the list in
    // memory only.
    explicit CDriverData(const std::string& dataFolder = std::string());

    // The driver at `index`, or null for a null entry or an index past the end.
    VN_DriverItem* GetDriverAt(size_t index) const { return GetItemAt<VN_DriverItem>(index); }

    // Deletes the drivers that the last driver search did not find again
    // (the search only marks them gone: it runs on the worker while the
    // driver view may be drawing them). Called on the user-interface thread,
    // or where no view exists. Answers how many were deleted.
    size_t DeleteGoneDrivers();

protected:
    // A file that holds anything but driver items fails the load, so the
    // driver search and the views only ever meet drivers here.
    bool AcceptsItem(const VN_ItemGrandBase& item) const override;
};

}  // namespace Views
