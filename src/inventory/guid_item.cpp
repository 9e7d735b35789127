#include "inventory/guid_item.h"

#include <atomic>

#include "inventory/item_services.h"
#include "platform/text.h"

using inventory::FillIfEmpty;
using inventory::FillIfFalse;
using inventory::FillIfZero;
using textutil::EqualsNoCase;

namespace {
// Shared by every item of the process and never reset, so numbers are unique
// within one run.
std::atomic<int32_t> g_sequenceCounter{0};
}  // namespace

// ------------------------------------------------------------- VN_GuidItem

bool VN_GuidItem::IsSameGuid(const VN_GuidItem& other) const {
    if (IsSuite() && other.IsSuite()) return EqualsNoCase(productGuid, other.productGuid);
    if (HasComponentGuid() && other.HasComponentGuid())
        return EqualsNoCase(productGuid, other.productGuid) && EqualsNoCase(componentGuid, other.componentGuid);
    return false;
}

int32_t VN_GuidItem::GetSequence() {
    if (sequence == 0) sequence = ++g_sequenceCounter;
    return sequence;
}

std::string VN_GuidItem::GetMsiProperty(const std::string& name) const {
    if (productGuid.empty()) return std::string();
    const std::optional<std::string> value = inventory::InstallerQuery().ProductInfo(productGuid, name);
    return value ? textutil::Trim(*value) : std::string();
}

const std::string& VN_GuidItem::GetMsiProductName() const {
    if (msiProductName.empty()) msiProductName = GetMsiProperty("InstalledProductName");
    return msiProductName;
}

void VN_GuidItem::SetProductGuid(const std::string& guid) {
    productGuid = guid;
    msiProductName.clear();
}

bool VN_GuidItem::IsSameGroup(const VN_GuidItem& other) const {
    return !productGuid.empty() && !other.productGuid.empty() && !IsSuite() && !other.IsSuite() &&
           EqualsNoCase(GetGuid(), other.GetGuid());
}

int VN_GuidItem::CompareByName(const VN_GuidItem& other, bool descending) const {
    const int byName = textutil::CompareNoCase(GetMsiProductName(), other.GetMsiProductName());
    if (byName != 0) return byName;
    const bool mine = IsSuite(), theirs = other.IsSuite();
    if (mine == theirs) return 0;
    const int suiteFirst = mine ? -1 : 1;
    return descending ? -suiteFirst : suiteFirst;
}

void VN_GuidItem::ExchangeFields(inventory::FieldExchange& fx) {
    VN_ItemBase::ExchangeFields(fx);
    fx.Field("productGuid", productGuid);
    fx.Field("componentGuid", componentGuid);
    fx.Field("groupOutdated", groupOutdated);
    fx.Field("groupSkipped", groupSkipped);
    fx.Field("groupHasCurrent", groupHasCurrent);
    fx.Field("groupCurrentCount", groupCurrentCount);
}

void VN_GuidItem::CopyFrom(const VN_GuidItem& other) {
    // The name cache belongs to the old product code; a different code drops it.
    if (!EqualsNoCase(productGuid, other.productGuid)) msiProductName.clear();
    productGuid = other.productGuid;
    componentGuid = other.componentGuid;
    groupOutdated = other.groupOutdated;
    groupSkipped = other.groupSkipped;
    groupHasCurrent = other.groupHasCurrent;
    groupCurrentCount = other.groupCurrentCount;
    sequence = other.sequence;
    VN_ItemBase::CopyFrom(other);
}

void VN_GuidItem::MergeFrom(const VN_GuidItem& other) {
    if (productGuid.empty() && !other.productGuid.empty()) SetProductGuid(other.productGuid);
    FillIfEmpty(componentGuid, other.componentGuid);
    FillIfFalse(groupOutdated, other.groupOutdated);
    FillIfFalse(groupSkipped, other.groupSkipped);
    FillIfFalse(groupHasCurrent, other.groupHasCurrent);
    FillIfZero(groupCurrentCount, other.groupCurrentCount);
    FillIfZero(sequence, other.sequence);
    VN_ItemBase::MergeFrom(other);
}

// ---------------------------------------------------------- VN_UpdatedItem

std::string VN_UpdatedItem::GetInstalledVersion() const {
    if (!IsSuite()) return myVersion;
    return inventory::InstallerQuery().ProductInfo(productGuid, "VersionString").value_or(std::string());
}

void VN_UpdatedItem::ShowIcon(platform::WindowHandle) const {}

void VN_UpdatedItem::SetProgName(std::string_view name) { progName = textutil::Trim(name); }

void VN_UpdatedItem::SetCurrentVers(const std::string& version) {
    currentVers = version;
    if (!version.empty()) groupHasCurrent = true;
}

bool VN_UpdatedItem::IsTracked(bool showAll) const {
    if (showAll) return IsSuite() || expanded;
    if (userAdded) return true;
    if (IsSuite()) return groupCurrentCount > 1 || !currentVers.empty();
    return !currentVers.empty() && (groupCurrentCount == 1 || expanded);
}

bool VN_UpdatedItem::HasTrackedComponents() const {
    return IsSuite() && groupCurrentCount >= 1 && !(groupCurrentCount == 1 && !currentVers.empty());
}

void VN_UpdatedItem::ExchangeFields(inventory::FieldExchange& fx) {
    VN_GuidItem::ExchangeFields(fx);
    fx.Field("progName", progName);
    fx.Field("myVersion", myVersion);
    fx.Field("currentVers", currentVers);
    fx.Field("currentDate", currentDate);
    fx.Field("reservedText", reservedText);
    fx.Field("productId", productId);
    fx.Field("additionalInfo", additionalInfo);
    fx.Field("updateAvailable", updateAvailable);
    fx.Field("outdated", outdated);
    fx.Field("skipped", skipped);
    fx.Field("serverNeedsIcon", serverNeedsIcon);
    fx.Field("productUrl", productUrl);
    fx.Field("directDlUrl", directDlUrl);
    fx.Field("directDlIsFile", directDlIsFile);
    fx.Field("userAdded", userAdded);
    fx.Field("reportReason", reportReason);
    fx.Field("reportComments", reportComments);
}

void VN_UpdatedItem::CopyFrom(const VN_UpdatedItem& other) {
    progName = other.progName;
    myVersion = other.myVersion;
    currentVers = other.currentVers;
    currentDate = other.currentDate;
    serverId = other.serverId;
    reservedText = other.reservedText;
    productId = other.productId;
    additionalInfo = other.additionalInfo;
    updateAvailable = other.updateAvailable;
    outdated = other.outdated;
    skipped = other.skipped;
    serverNeedsIcon = other.serverNeedsIcon;
    productUrl = other.productUrl;
    directDlUrl = other.directDlUrl;
    directDlIsFile = other.directDlIsFile;
    userAdded = other.userAdded;
    reportReason = other.reportReason;
    reportComments = other.reportComments;
    VN_GuidItem::CopyFrom(other);
}

void VN_UpdatedItem::MergeFrom(const VN_UpdatedItem& other) {
    FillIfEmpty(progName, other.progName);
    FillIfEmpty(myVersion, other.myVersion);
    FillIfEmpty(currentVers, other.currentVers);
    FillIfEmpty(currentDate, other.currentDate);
    FillIfEmpty(serverId, other.serverId);
    FillIfEmpty(reservedText, other.reservedText);
    FillIfEmpty(productId, other.productId);
    FillIfEmpty(additionalInfo, other.additionalInfo);
    FillIfFalse(updateAvailable, other.updateAvailable);
    FillIfFalse(outdated, other.outdated);
    FillIfFalse(skipped, other.skipped);
    FillIfFalse(serverNeedsIcon, other.serverNeedsIcon);
    FillIfEmpty(productUrl, other.productUrl);
    FillIfEmpty(directDlUrl, other.directDlUrl);
    FillIfFalse(directDlIsFile, other.directDlIsFile);
    FillIfFalse(userAdded, other.userAdded);
    FillIfZero(reportReason, other.reportReason);
    FillIfEmpty(reportComments, other.reportComments);
    VN_GuidItem::MergeFrom(other);
}

// --------------------------------------------------------- VN_RegistryItem

void VN_RegistryItem::ExchangeFields(inventory::FieldExchange& fx) {
    VN_UpdatedItem::ExchangeFields(fx);
    fx.Field("uninstallString", uninstallString);
    fx.Field("signature", signature);
    fx.Field("iconPath", iconPath);
    fx.Field("keyName", keyName);
    fx.Field("matchedPvId", matchedPvId);
}

void VN_RegistryItem::CopyFrom(const VN_RegistryItem& other) {
    uninstallString = other.uninstallString;
    signature = other.signature;
    iconPath = other.iconPath;
    keyName = other.keyName;
    matchedPvId = other.matchedPvId;
    VN_UpdatedItem::CopyFrom(other);
}

void VN_RegistryItem::MergeFrom(const VN_RegistryItem& other) {
    FillIfEmpty(uninstallString, other.uninstallString);
    FillIfEmpty(signature, other.signature);
    FillIfEmpty(iconPath, other.iconPath);
    FillIfEmpty(keyName, other.keyName);
    FillIfEmpty(matchedPvId, other.matchedPvId);
    VN_UpdatedItem::MergeFrom(other);
}
