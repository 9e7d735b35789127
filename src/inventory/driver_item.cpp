#include "inventory/driver_item.h"

#include "inventory/archive.h"
#include "inventory/field_copy.h"
#include "inventory/item_services.h"
#include "platform/text.h"

// The archive's walks, with the per-field work of every level inlined.
void VN_DriverItem::StoreFields(inventory::StoreExchange& fx) { ExchangeAllFields(fx); }

void VN_DriverItem::LoadFields(inventory::LoadExchange& fx) { ExchangeAllFields(fx); }

template <class Fx>
void VN_DriverItem::ExchangeOwnFields(Fx& fx) {
    fx.Field("reservedDriverText", reservedDriverText);
    fx.Field("deviceDesc", deviceDesc);
    fx.Field("friendlyName", friendlyName);
    fx.Field("enumeratorName", enumeratorName);
    fx.Field("deviceClass", deviceClass);
    fx.Field("classGuid", classGuid);
    fx.Field("driverKey", driverKey);
    fx.Field("deviceMfg", deviceMfg);
    fx.Field("service", service);
    fx.Field("hardwareIds", hardwareIds);
    fx.Field("compatibleIds", compatibleIds);
    fx.Field("driverKeyPath", driverKeyPath);
    fx.Field("driverDate", driverDate);
    fx.Field("driverDesc", driverDesc);
    fx.Field("driverVersion", driverVersion);
    fx.Field("driverProvider", driverProvider);
    fx.Field("infPath", infPath);
    fx.Field("infSection", infSection);
    fx.Field("matchingDeviceId", matchingDeviceId);
    fx.Field("serviceKeyPath", serviceKeyPath);
    fx.Field("serviceGroup", serviceGroup);
    fx.Field("files", files);
    fx.MemoryField("driverFlag", driverFlag);
}
VN_INSTANTIATE_FIELD_LIST(VN_DriverItem)

std::string VN_DriverItem::GetDisplayName(bool) const { return driverDesc.empty() ? deviceDesc : driverDesc; }

std::string VN_DriverItem::GetInstalledVersion() const { return myVersion.empty() ? driverVersion : myVersion; }

void VN_DriverItem::ShowIcon(platform::WindowHandle staticControl) const {
    inventory::ItemIcons().ShowDeviceClassIcon(staticControl, deviceClass);
}

void VN_DriverItem::CopyFrom(const VN_DriverItem& other) {
    inventory::CopyFields(*this, other, &VN_DriverItem::ExchangeOwnFields);
    VN_UpdatedItem::CopyFrom(other);
}

bool VN_DriverItem::IsSameDriver(const VN_DriverItem& other) const {
    using textutil::EqualsNoCase;
    return EqualsNoCase(deviceDesc, other.deviceDesc) && EqualsNoCase(driverDesc, other.driverDesc) &&
           EqualsNoCase(deviceClass, other.deviceClass) && EqualsNoCase(driverDate, other.driverDate) &&
           EqualsNoCase(GetInstalledVersion(), other.GetInstalledVersion());
}
