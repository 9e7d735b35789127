#include "inventory/driver_item.h"

#include "inventory/item_services.h"
#include "platform/text.h"

void VN_DriverItem::ExchangeFields(inventory::FieldExchange& fx) {
    VN_UpdatedItem::ExchangeFields(fx);
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
}

std::string VN_DriverItem::GetDisplayName(bool) const { return driverDesc.empty() ? deviceDesc : driverDesc; }

std::string VN_DriverItem::GetInstalledVersion() const { return myVersion.empty() ? driverVersion : myVersion; }

void VN_DriverItem::ShowIcon(platform::WindowHandle staticControl) const {
    inventory::ItemIcons().ShowDeviceClassIcon(staticControl, deviceClass);
}

void VN_DriverItem::CopyFrom(const VN_DriverItem& other) {
    reservedDriverText = other.reservedDriverText;
    deviceDesc = other.deviceDesc;
    friendlyName = other.friendlyName;
    enumeratorName = other.enumeratorName;
    deviceClass = other.deviceClass;
    classGuid = other.classGuid;
    driverKey = other.driverKey;
    deviceMfg = other.deviceMfg;
    service = other.service;
    hardwareIds = other.hardwareIds;
    compatibleIds = other.compatibleIds;
    driverKeyPath = other.driverKeyPath;
    driverDate = other.driverDate;
    driverDesc = other.driverDesc;
    driverVersion = other.driverVersion;
    driverProvider = other.driverProvider;
    infPath = other.infPath;
    infSection = other.infSection;
    matchingDeviceId = other.matchingDeviceId;
    serviceKeyPath = other.serviceKeyPath;
    serviceGroup = other.serviceGroup;
    files = other.files;
    driverFlag = other.driverFlag;
    VN_UpdatedItem::CopyFrom(other);
}

bool VN_DriverItem::IsSameDriver(const VN_DriverItem& other) const {
    using textutil::EqualsNoCase;
    return EqualsNoCase(deviceDesc, other.deviceDesc) && EqualsNoCase(driverDesc, other.driverDesc) &&
           EqualsNoCase(deviceClass, other.deviceClass) && EqualsNoCase(driverDate, other.driverDate) &&
           EqualsNoCase(GetInstalledVersion(), other.GetInstalledVersion());
}
