#include "inventory/watch_list_add.h"

#include <exception>

#include "inventory/item_services.h"
#include "platform/log.h"
#include "platform/text.h"

using textutil::EqualsNoCase;

VN_WatchListAdd::VN_WatchListAdd(std::string databasePath) : VN_ListUpdatedBase(std::move(databasePath)) {}

bool VN_WatchListAdd::AcceptsItem(const VN_ItemGrandBase& item) const {
    return dynamic_cast<const VN_WatchItem*>(&item) != nullptr;
}

std::vector<VN_WatchItem*> VN_WatchListAdd::WatchItems() const {
    std::vector<VN_WatchItem*> out;
    for (VN_ItemGrandBase* entry : Snapshot())
        if (auto* item = dynamic_cast<VN_WatchItem*>(entry)) out.push_back(item);
    return out;
}

void VN_WatchListAdd::SetNotifyTarget(platform::WindowHandle window, uint32_t message) {
    notifyWindow_ = window;
    notifyMessage_ = message;
}

void VN_WatchListAdd::PostItemNotice(VN_WatchItem* item, bool flag) const {
    const platform::WindowHandle window = notifyWindow_.load();
    const uint32_t message = notifyMessage_.load();
    if (window == nullptr || message == 0) return;
    platform::Notifier().Post(window, message, reinterpret_cast<uintptr_t>(item), flag ? 1 : 0);
}

// ------------------------------------------------------------ add or merge

bool VN_WatchListAdd::AddOrMerge(const VN_WatchItem& item, bool userAdded, bool registryComponent) {
    try {
        // Merging changes an item the window may be drawing.
        inventory::ContentLock::Write hold(ItemLock());
        std::lock_guard<std::mutex> lock(indexMutex_);
        const inventory::WatchItemIndex::Found found = FindLocked(item);
        if (found.item != nullptr) {
            if (Merge(*found.item, item, userAdded, registryComponent)) index_.Refresh(found.position);
            index_.PrefetchAfter(found.position);
            return true;
        }
        // A program without installer codes is shown with its group open.
        AppendCopy(item, userAdded, item.productGuid.empty());
        return true;
    } catch (const std::exception&) {
        identityDirty_ = true;
        vnlog::Warning("VN_WatchListAdd::AddOrMerge");
    } catch (...) {
        identityDirty_ = true;
        vnlog::Warning("VN_WatchListAdd::AddOrMerge", true);
    }
    return false;
}

bool VN_WatchListAdd::AddUserItem(const VN_WatchItem& item) {
    // A manual add comes at any time, possibly after the service's reply
    // renamed entries: look at the entries as they are now.
    IdentityFieldsChanged();
    const bool added = AddOrMerge(item, true, false);
    SaveIfModified();
    return added;
}

VN_WatchItem* VN_WatchListAdd::AddCopy(const VN_WatchItem& item, bool userAdded) {
    std::lock_guard<std::mutex> lock(indexMutex_);
    return AppendCopy(item, userAdded, false);
}

VN_WatchItem* VN_WatchListAdd::FindSameItem(const VN_WatchItem& item) {
    std::lock_guard<std::mutex> lock(indexMutex_);
    return FindLocked(item).item;
}

VN_WatchItem* VN_WatchListAdd::AppendCopy(const VN_WatchItem& item, bool userAdded, bool expand) {
    auto copy = std::make_unique<VN_WatchItem>();
    copy->CopyFrom(item);
    copy->userAdded = userAdded;
    copy->scanStamp = GetScanCount();
    if (expand) copy->expanded = true;
    const uint64_t before = StructureVersion();
    auto* added = static_cast<VN_WatchItem*>(AddTail(std::move(copy)));
    // The new entry extends the index only when nothing else changed the
    // entries since the index was built; otherwise the next look-up rebuilds.
    if (indexBuilt_ && indexedStructure_ == before && StructureVersion() == before + 1) {
        index_.Append(added);
        indexedStructure_ = before + 1;
    } else {
        indexBuilt_ = false;
    }
    modified_ = true;
    PostItemNotice(added, userAdded);
    return added;
}

bool VN_WatchListAdd::Merge(VN_WatchItem& entry, const VN_WatchItem& item, bool userAdded, bool registryComponent) {
    bool identity = false;  // fields the index keys on changed
    bool changed = false;   // stored fields changed
    // Seen in this pass, whatever happens below: an entry whose merge fails
    // half-way must not be taken for stale and removed at the end of the pass.
    entry.scanStamp = GetScanCount();

    // An uninstall entry found again as an installer suite takes its product code.
    if (!entry.uninstallString.empty() && item.IsSuite() && entry.productGuid != item.productGuid) {
        entry.SetProductGuid(item.productGuid);
        identity = changed = true;
    }
    // A shortcut with arguments names a use of the program, not the program.
    // A sighting without a name (a bare installer suite) keeps the name the
    // entry has.
    if (item.arguments.empty() && !item.progName.empty() && entry.progName != item.progName) {
        entry.progName = item.progName;
        identity = changed = true;
    }
    if (entry.comFromReg != registryComponent) {
        entry.comFromReg = registryComponent;
        changed = true;
    }
    if (userAdded) {
        // Only the user's own add brings back what the user removed.
        if (entry.removed == item_state::kRemovedByUser) {
            entry.removed = item_state::kPresent;
            PostItemNotice(&entry, userAdded);
        }
        entry.userAdded = item.userAdded;
        changed = true;
    }
    // Versions move only forward, compared as texts (as the service does).
    const std::string version =
        item.IsSuite() ? inventory::InstallerQuery().ProductInfo(item.productGuid, "VersionString").value_or("")
                       : item.installedVers;
    if (!version.empty() &&
        (item.installedVers2 > entry.installedVers2 || item.installedVers3 > entry.installedVers3)) {
        if (entry.installedVers != version) identity = true;
        entry.installedVers = version;
        entry.installedVers2 = item.installedVers2;
        entry.installedVers3 = item.installedVers3;
        changed = true;
    }
    if (item.HasComponentGuid() &&
        (!EqualsNoCase(item.productGuid, entry.productGuid) || !EqualsNoCase(item.componentGuid, entry.componentGuid))) {
        entry.SetProductGuid(item.productGuid);
        entry.componentGuid = item.componentGuid;
        identity = changed = true;
    }
    if (entry.source != item.source) {
        entry.source = item.source;
        changed = true;
    }
    if (changed) modified_ = true;
    return identity;
}

inventory::WatchItemIndex::Found VN_WatchListAdd::FindLocked(const VN_WatchItem& item) {
    if (!IndexCurrentLocked()) RebuildIndexLocked();
    inventory::WatchItemIndex::Found found = index_.FindFirst(item);
    if (found.rejected != 0) {
        // An indexed entry no longer had the fields it was indexed under:
        // entries changed behind the list's back, so look at them afresh.
        // (A mere hash collision costs a rebuild too; it is that rare.)
        RebuildIndexLocked();
        found = index_.FindFirst(item);
    }
    return found;
}

bool VN_WatchListAdd::IndexCurrentLocked() const {
    return indexBuilt_ && !identityDirty_.load() && indexedStructure_ == StructureVersion() &&
           indexedScan_ == GetScanCount();
}

void VN_WatchListAdd::RebuildIndexLocked() {
    // Read the marks first: a change made while the index is being built
    // moves them again, and the next look-up rebuilds.
    identityDirty_ = false;
    indexedStructure_ = StructureVersion();
    indexedScan_ = GetScanCount();
    index_.Build(WatchItems());
    indexBuilt_ = true;
}

// --------------------------------------------------------- clear, load, save

void VN_WatchListAdd::Clear() {
    clearing_ = true;
    modified_ = false;
    VN_ListBase::Clear();
    modified_ = true;
    Save();
    clearing_ = false;
}

bool VN_WatchListAdd::Load() {
    const bool loaded = VN_ListBase::Load();
    if (!loaded) modified_ = true;
    return loaded;
}

bool VN_WatchListAdd::SaveIfModified() { return modified_.load() ? Save() : true; }
