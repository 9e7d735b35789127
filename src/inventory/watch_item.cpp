#include "inventory/watch_item.h"

#include "inventory/archive.h"
#include "inventory/field_copy.h"
#include "inventory/item_services.h"
#include "platform/text.h"

namespace {
// This item's field is not empty and equals the other's, ignoring case.
bool NonEmptyEqual(const std::string& mine, const std::string& theirs) {
    return !mine.empty() && textutil::EqualsNoCase(mine, theirs);
}
}  // namespace

// The archive's walks, with the per-field work of every level inlined.
void VN_WatchItem::StoreFields(inventory::StoreExchange& fx) { ExchangeAllFields(fx); }

void VN_WatchItem::LoadFields(inventory::LoadExchange& fx) { ExchangeAllFields(fx); }

template <class Fx>
void VN_WatchItem::ExchangeOwnFields(Fx& fx) {
    fx.Field("packageName", packageName);
    fx.Field("fileDesc", fileDesc);
    fx.Field("shortcutName", shortcutName);
    fx.Field("targetName", targetName);
    fx.Field("installedVers", installedVers);
    fx.Field("installedVers2", installedVers2);
    fx.Field("installedVers3", installedVers3);
    fx.Field("description", description);
    fx.Field("error", error);
    fx.Field("executableName", executableName);
    fx.Field("source", source);
    fx.MemoryField("arguments", arguments);
    fx.MemoryField("listIndex", listIndex);
    fx.Reserved32();
    fx.WordFlag("comFromReg", comFromReg);
    fx.Field("reservedText2", reservedText2);
}
VN_INSTANTIATE_FIELD_LIST(VN_WatchItem)

std::string VN_WatchItem::GetDisplayName(bool indent) const {
    if (IsSuite()) return GetMsiProductName();
    if (!HasComponentGuid()) return progName;
    std::string text = fileDesc;
    if (text.empty()) text = progName;
    if (text.empty() && !executableName.empty()) text = "(" + executableName + ")";
    return indent ? "        " + text : text;
}

void VN_WatchItem::ShowIcon(platform::WindowHandle staticControl) const {
    inventory::ItemIcons().ShowFileIcon(staticControl, GetExePath());
}

void VN_WatchItem::SetFileDesc(std::string_view text) { fileDesc = textutil::Trim(text); }

void VN_WatchItem::CopyFrom(const VN_WatchItem& other) {
    inventory::CopyFields(*this, other, &VN_WatchItem::ExchangeOwnFields);
    VN_RegistryItem::CopyFrom(other);
}

void VN_WatchItem::MergeFrom(const VN_WatchItem& other) {
    inventory::MergeFields(*this, other, &VN_WatchItem::ExchangeOwnFields);
    // The newer scan decides whether the item came from the registry or a file.
    if (!other.source.empty()) source = other.source;
    VN_RegistryItem::MergeFrom(other);
}

bool VN_WatchItem::IsSameItem(const VN_WatchItem& other) const {
    if (NonEmptyEqual(executableName, other.executableName) && NonEmptyEqual(progName, other.progName) &&
        NonEmptyEqual(installedVers, other.installedVers))
        return true;
    if (NonEmptyEqual(targetName, other.targetName)) return true;
    if (IsSameGuid(other)) return true;
    if (!uninstallString.empty() && signature == other.signature) return true;
    return other.IsSuite() && textutil::EqualsNoCase(other.productGuid, keyName);
}
