#include "inventory/ob_list.h"

#include "inventory/guid_item.h"
#include "inventory/watch_item.h"
#include "platform/log.h"

namespace {
const VN_UpdatedItem* AsUpdated(const VN_ItemGrandBase* item) { return dynamic_cast<const VN_UpdatedItem*>(item); }
bool HasCurrent(const VN_ItemGrandBase* item) {
    const VN_UpdatedItem* updated = AsUpdated(item);
    return updated && !updated->GetCurrentVers().empty();
}
}  // namespace

int VN_ObList::CountWithCurrent() const {
    int count = 0;
    for (const VN_ItemGrandBase* item : items_)
        if (HasCurrent(item)) ++count;
    return count;
}

VN_ItemGrandBase* VN_ObList::FirstItem() const {
    for (VN_ItemGrandBase* item : items_)
        if (item) return item;
    return nullptr;
}

VN_UpdatedItem* VN_ObList::FirstWithCurrent() const {
    for (VN_ItemGrandBase* item : items_)
        if (HasCurrent(item)) return dynamic_cast<VN_UpdatedItem*>(item);
    return nullptr;
}

void VN_ObList::Dump() const { vnlog::Debug(DumpText()); }

std::string VN_ObList::DumpText() const {
    std::string out = "--------------------- A ObList --------------------\n";
    out += "Total count: " + std::to_string(items_.size()) +
           " \t numHasCurrent: " + std::to_string(CountWithCurrent()) + "\n";
    for (const VN_ItemGrandBase* entry : items_) {
        const VN_ItemBase* item = dynamic_cast<const VN_ItemBase*>(entry);
        if (!item) continue;  // null entries and items without names have nothing to show
        const VN_UpdatedItem* updated = AsUpdated(item);
        const VN_RegistryItem* registry = dynamic_cast<const VN_RegistryItem*>(item);
        const VN_WatchItem* watch = dynamic_cast<const VN_WatchItem*>(item);
        const std::string fileDesc = watch ? watch->fileDesc : std::string();
        out += "  item: product   " + item->GetProductId() + " \t" + item->GetDisplayName(true) + "\n";
        out += "        guid      " + item->GetGuid() + "\n";
        out += "        exe       " + item->GetExePath() + "\n";
        out += "        uninstall " + (registry ? registry->uninstallString : std::string()) + "\n";
        out += "        orgName   " + (updated ? updated->progName : std::string()) + "\n";
        out += "        fileDesc |" + fileDesc + "| strLen:" + std::to_string(fileDesc.size()) +
               "  isEmpty:" + (fileDesc.empty() ? "1" : "0") + "\n";
        out += "\n";
    }
    return out;
}
