// VN_DriverItem: one device driver found by the driver search, with the
// device's and the driver's registry data.
#pragma once

#include <string>
#include <vector>

#include "inventory/guid_item.h"

class VN_DriverItem : public VN_UpdatedItem {
public:
    static constexpr char kClassName[] = "VN_DriverItem";

    // Drivers start expanded, so a driver with a current version is tracked.
    VN_DriverItem() { expanded = true; }

    const char* RuntimeClassName() const override { return kClassName; }
    VN_DriverItem* AsDriverItem() override { return this; }
    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }
    void StoreFields(inventory::StoreExchange& fx) override;
    void LoadFields(inventory::LoadExchange& fx) override;

    std::string GetExePath() const override { return files; }
    std::string GetDisplayName(bool indent) const override;
    // The version the service echoed, else the driver's own.
    std::string GetInstalledVersion() const override;
    void ShowIcon(platform::WindowHandle staticControl) const override;
    bool IsDriver() const override { return true; }

    // Every stored field (the identifier lists entry by entry) and serverId,
    // sequence and driverFlag; not scanStamp or the installer name cache.
    void CopyFrom(const VN_DriverItem& other);
    // Same device description, driver description, device class, driver date
    // and installed version, ignoring case.
    bool IsSameDriver(const VN_DriverItem& other) const;

    std::string reservedDriverText;  // carried and copied only
    std::string deviceDesc;
    std::string friendlyName;
    std::string enumeratorName;
    std::string deviceClass;
    std::string classGuid;
    std::string driverKey;
    std::string deviceMfg;
    std::string service;
    std::vector<std::string> hardwareIds;    // in device order
    std::vector<std::string> compatibleIds;  // in device order
    std::string driverKeyPath;
    std::string driverDate;
    std::string driverDesc;
    std::string driverVersion;
    std::string driverProvider;
    std::string infPath;
    std::string infSection;
    std::string matchingDeviceId;
    std::string serviceKeyPath;
    std::string serviceGroup;
    std::string files;       // the driver file
    bool driverFlag = true;  // the driver search found it; not stored

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_UpdatedItem::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
};
