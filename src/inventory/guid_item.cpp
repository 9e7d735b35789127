#include "inventory/guid_item.h"

#include <atomic>
#include <mutex>

#include "inventory/archive.h"
#include "inventory/field_copy.h"
#include "inventory/item_services.h"
#include "platform/text.h"

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

namespace {
// The cache below is filled by whichever thread asks first, the window's
// or the worker's, both of which only read the item otherwise.
std::mutex& MsiNameMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

std::string VN_GuidItem::GetMsiProductName() const {
    {
        std::lock_guard<std::mutex> lock(MsiNameMutex());
        if (!msiProductName.empty()) return msiProductName;
    }
    const std::string name = GetMsiProperty("InstalledProductName");  // the installer's query, unlocked
    std::lock_guard<std::mutex> lock(MsiNameMutex());
    if (msiProductName.empty()) msiProductName = name;
    return msiProductName;
}

void VN_GuidItem::SetProductGuid(const std::string& guid) {
    productGuid = guid;
    std::lock_guard<std::mutex> lock(MsiNameMutex());
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

template <class Fx>
void VN_GuidItem::ExchangeOwnFields(Fx& fx) {
    fx.Field("productGuid", productGuid);
    fx.Field("componentGuid", componentGuid);
    fx.Field("groupOutdated", groupOutdated);
    fx.Field("groupSkipped", groupSkipped);
    fx.Field("groupHasCurrent", groupHasCurrent);
    fx.Field("groupCurrentCount", groupCurrentCount);
    fx.MemoryField("sequence", sequence);
}
VN_INSTANTIATE_FIELD_LIST(VN_GuidItem)

// The installer name cache belongs to the product code: it is never copied or
// merged, and dropped whenever the code changes.
void VN_GuidItem::CopyFrom(const VN_GuidItem& other) {
    if (!EqualsNoCase(productGuid, other.productGuid)) {
        std::lock_guard<std::mutex> lock(MsiNameMutex());
        msiProductName.clear();
    }
    inventory::CopyFields(*this, other, &VN_GuidItem::ExchangeOwnFields);
    VN_ItemBase::CopyFrom(other);
}

void VN_GuidItem::MergeFrom(const VN_GuidItem& other) {
    if (productGuid.empty() && !other.productGuid.empty()) {
        std::lock_guard<std::mutex> lock(MsiNameMutex());
        msiProductName.clear();
    }
    inventory::MergeFields(*this, other, &VN_GuidItem::ExchangeOwnFields);
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

template <class Fx>
void VN_UpdatedItem::ExchangeOwnFields(Fx& fx) {
    fx.Field("progName", progName);
    fx.Field("myVersion", myVersion);
    fx.Field("currentVers", currentVers);
    fx.Field("currentDate", currentDate);
    fx.MemoryField("serverId", serverId);
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
VN_INSTANTIATE_FIELD_LIST(VN_UpdatedItem)

void VN_UpdatedItem::CopyFrom(const VN_UpdatedItem& other) {
    inventory::CopyFields(*this, other, &VN_UpdatedItem::ExchangeOwnFields);
    VN_GuidItem::CopyFrom(other);
}

void VN_UpdatedItem::MergeFrom(const VN_UpdatedItem& other) {
    inventory::MergeFields(*this, other, &VN_UpdatedItem::ExchangeOwnFields);
    VN_GuidItem::MergeFrom(other);
}

// --------------------------------------------------------- VN_RegistryItem

template <class Fx>
void VN_RegistryItem::ExchangeOwnFields(Fx& fx) {
    fx.Field("uninstallString", uninstallString);
    fx.Field("signature", signature);
    fx.Field("iconPath", iconPath);
    fx.Field("keyName", keyName);
    fx.Field("matchedPvId", matchedPvId);
}
VN_INSTANTIATE_FIELD_LIST(VN_RegistryItem)

void VN_RegistryItem::CopyFrom(const VN_RegistryItem& other) {
    inventory::CopyFields(*this, other, &VN_RegistryItem::ExchangeOwnFields);
    VN_UpdatedItem::CopyFrom(other);
}

void VN_RegistryItem::MergeFrom(const VN_RegistryItem& other) {
    inventory::MergeFields(*this, other, &VN_RegistryItem::ExchangeOwnFields);
    VN_UpdatedItem::MergeFrom(other);
}
