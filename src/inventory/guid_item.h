// The abstract middle of the item tree: VN_GuidItem (Windows Installer product
// and component codes, group state, request sequence numbers), VN_UpdatedItem
// (what the update service's reply fills in, tracking rules) and
// VN_RegistryItem (an installed product's uninstall entry).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "inventory/item_base.h"
#include "platform/notifier.h"

class VN_GuidItem : public VN_ItemBase {
public:
    // A product code without a component code.
    bool IsSuite() const override { return !productGuid.empty() && componentGuid.empty(); }
    std::string GetGuid() const override { return productGuid; }

    // Two suites with the same product code, or two components with the same
    // product and component codes. A suite and a component never match.
    virtual bool IsSameGuid(const VN_GuidItem& other) const;

    bool HasComponentGuid() const { return !productGuid.empty() && !componentGuid.empty(); }
    // The item's number in scan requests: given on first use from a
    // process-wide counter (1, 2, ... in each run), then kept.
    int32_t GetSequence();
    // The installer's product property for productGuid, trimmed; empty when
    // there is no product code or the installer does not answer.
    std::string GetMsiProperty(const std::string& name) const;
    // The installer's "InstalledProductName", cached in msiProductName.
    std::string GetMsiProductName() const;
    // Sets the product code and drops the cached product name.
    void SetProductGuid(const std::string& guid);
    // Two components of one suite.
    bool IsSameGroup(const VN_GuidItem& other) const;
    // Orders by installer product name without regard to case; on a tie a
    // suite comes first (after the other item when `descending`).
    int CompareByName(const VN_GuidItem& other, bool descending) const;

    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }

    std::string productGuid;    // installer product code, braced, as read
    std::string componentGuid;  // installer component code
    bool groupOutdated = false;
    bool groupSkipped = false;
    bool groupHasCurrent = false;
    int32_t groupCurrentCount = 0;
    int32_t sequence = 0;                // 0 = not yet numbered; not stored
    mutable std::string msiProductName;  // cache of GetMsiProductName; not stored

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_ItemBase::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
    void CopyFrom(const VN_GuidItem& other);
    void MergeFrom(const VN_GuidItem& other);
};

class VN_UpdatedItem : public VN_GuidItem {
public:
    std::string GetAdditionalInfo() const override { return additionalInfo; }
    std::string GetDownloadUrl() const override { return directDlUrl; }
    bool IsDirectDownload() const override { return directDlIsFile; }
    std::string GetProductId() const override { return productId; }

    virtual void SetMatchedPvId(const std::string&) {}
    virtual std::string GetCurrentVers() const { return currentVers; }
    // A suite's version comes from the installer ("VersionString"); other
    // items report the version the service echoed.
    virtual std::string GetInstalledVersion() const;
    // Draws the item's icon into a dialog's static control (see IItemIcons).
    virtual void ShowIcon(platform::WindowHandle staticControl) const;
    virtual bool IsDriver() const { return false; }

    void SetProgName(std::string_view name);
    // A non-empty current version also marks the group as having one.
    void SetCurrentVers(const std::string& version);

    // Whether the default lists show the item; `showAll` is the views'
    // "Untracked Items" mode.
    bool IsTracked(bool showAll) const;
    // A suite whose expander is drawn.
    bool HasTrackedComponents() const;
    // The available-updates list is made of these items.
    bool IsUpdateCandidate() const { return updateAvailable && !skipped; }

    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }

    std::string progName;
    std::string myVersion;    // installed version as echoed by the service
    std::string currentVers;  // current version known to the service
    std::string currentDate;
    std::string serverId;      // not stored
    std::string reservedText;  // carried through files, never set by the program
    std::string productId;     // catalogue product identifier
    std::string additionalInfo;
    bool updateAvailable = false;  // the current full check said outdated
    bool outdated = false;         // the latest reply said outdated
    bool skipped = false;          // the user skipped the current version
    bool serverNeedsIcon = false;
    std::string productUrl;
    std::string directDlUrl;
    bool directDlIsFile = false;
    bool userAdded = false;
    int32_t reportReason = 0;  // string id of a wrong-item report's reason
    std::string reportComments;

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_GuidItem::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
    void CopyFrom(const VN_UpdatedItem& other);
    void MergeFrom(const VN_UpdatedItem& other);
};

// The watch list's item for an installed product (::VN_RegistryItem, in the
// global namespace): stored in the list files and sent to the service. Not
// the scanners' view of an uninstall entry (RegScan::VN_RegistryItem in
// scanners/products.h), which lives for one scan and from which a pass fills this.
class VN_RegistryItem : public VN_UpdatedItem {
public:
    void SetMatchedPvId(const std::string& id) override { matchedPvId = id; }

    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }

    std::string uninstallString;
    std::string signature;  // identity string of the installed product
    std::string iconPath;
    std::string keyName;  // uninstall subkey; the product code for installer products
    std::string matchedPvId;

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_UpdatedItem::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
    void CopyFrom(const VN_RegistryItem& other);
    void MergeFrom(const VN_RegistryItem& other);
};
