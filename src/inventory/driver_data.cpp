#include "inventory/driver_data.h"

#include "inventory/database.h"

namespace Views {

CDriverData::CDriverData(const std::string& dataFolder)
    : VN_ListUpdatedBase(dataFolder.empty() ? std::string() : dataFolder + inventory::dbfile::kDriverData) {}

bool CDriverData::AcceptsItem(const VN_ItemGrandBase& item) const {
    return dynamic_cast<const VN_DriverItem*>(&item) != nullptr;
}

size_t CDriverData::DeleteGoneDrivers() {
    return DeleteWhere([](const VN_ItemGrandBase& entry) {
        const auto* driver = dynamic_cast<const VN_DriverItem*>(&entry);
        return driver && !driver->driverFlag && driver->removed == item_state::kGone;
    });
}

}  // namespace Views
