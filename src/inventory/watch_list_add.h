// VN_WatchListAdd: the first layer of the watch list. It decides whether a
// scanned program is new or an entry found again (and then merges what the
// scan brings into the entry), keeps the list's modified flag, clears and
// loads the list, and posts an item notice for every entry it adds or
// restores.
//
// Finding the entry for a scanned program goes through an index of the
// identity fields (WatchItemIndex), so a whole inventory pass costs about
// linear time. The index is rebuilt, before it is used, whenever the list's
// entries were added, removed or replaced by anything but this layer, when a
// new scan pass has begun (the scan counter moved), and after any other
// operation of the list that may change identity fields. Code outside the
// list that changes an entry's identity fields (executable name, program
// name, installed version, program path, installer codes, uninstall command,
// signature, key name) calls IdentityFieldsChanged.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "inventory/list_base.h"
#include "inventory/watch_item.h"
#include "inventory/watch_item_index.h"
#include "platform/notifier.h"

class VN_WatchListAdd : public VN_ListUpdatedBase {
public:
    explicit VN_WatchListAdd(std::string databasePath = std::string());

    // Merges the scanned item into the first entry that is the same program
    // (VN_WatchItem::IsSameItem, tested on the entry), or appends a copy of it
    // when there is none. `userAdded`: the user added the program by hand;
    // `registryComponent`: an installer component found through the registry.
    // The caller keeps the item. False only when the operation failed (logged).
    bool AddOrMerge(const VN_WatchItem& item, bool userAdded, bool registryComponent);
    // The manual add: AddOrMerge as the user's own item, then SaveIfModified.
    bool AddUserItem(const VN_WatchItem& item);
    // Appends a copy of the item with the given userAdded and the current
    // scan counter as its scanStamp, and posts the item notice.
    VN_WatchItem* AddCopy(const VN_WatchItem& item, bool userAdded);
    // The entry that AddOrMerge would merge the item into, or null.
    VN_WatchItem* FindSameItem(const VN_WatchItem& item);

    // Deletes every item and saves the empty list (modified is set afresh).
    void Clear() override;
    // Loads the database file; when that fails (no path, damaged file) the
    // list counts as modified, so that the next SaveIfModified writes a
    // fresh file.
    bool Load();
    // Saves while the list is modified. True when nothing needed saving or
    // the save succeeded.
    bool SaveIfModified();

    // Where item notices go: the window and the registered message
    // ("WM_Varnel10_UpdateItem"); notices are posted only while both are set.
    void SetNotifyTarget(platform::WindowHandle window, uint32_t message);
    platform::WindowHandle GetNotifyWindow() const { return notifyWindow_.load(); }
    uint32_t GetNotifyMessage() const { return notifyMessage_.load(); }

    // True while Clear runs.
    bool IsClearing() const { return clearing_.load(); }
    // Set by every change made through the list's operations; stays set.
    bool IsModified() const { return modified_.load(); }
    void SetModified() { modified_ = true; }

    // Tells the list that entries' identity fields were changed from
    // outside, so that the next look-up rebuilds its index.
    void IdentityFieldsChanged() { identityDirty_ = true; }

    // The watch item at `index` (null for a null entry, another kind of item
    // or an index past the end).
    VN_WatchItem* GetWatchItemAt(size_t index) const { return GetItemAt<VN_WatchItem>(index); }
    // The list's watch items in list order, without null entries.
    std::vector<VN_WatchItem*> WatchItems() const;

protected:
    // A file holding anything but watch items fails the load.
    bool AcceptsItem(const VN_ItemGrandBase& item) const override;
    // Posts the item notice for `item` with `flag` as its second parameter.
    void PostItemNotice(VN_WatchItem* item, bool flag) const;

private:
    // Merges a scanned item into its entry; answers whether identity fields
    // of the entry changed.
    bool Merge(VN_WatchItem& entry, const VN_WatchItem& item, bool userAdded, bool registryComponent);
    VN_WatchItem* AppendCopy(const VN_WatchItem& item, bool userAdded, bool expand);
    // With indexMutex_ held.
    inventory::WatchItemIndex::Found FindLocked(const VN_WatchItem& item);
    void RebuildIndexLocked();
    bool IndexCurrentLocked() const;

    std::atomic<platform::WindowHandle> notifyWindow_{nullptr};
    std::atomic<uint32_t> notifyMessage_{0};
    std::atomic<bool> clearing_{false};
    std::atomic<bool> modified_{false};

    std::mutex indexMutex_;
    inventory::WatchItemIndex index_;
    bool indexBuilt_ = false;
    uint64_t indexedStructure_ = 0;
    int32_t indexedScan_ = 0;
    std::atomic<bool> identityDirty_{true};
};
