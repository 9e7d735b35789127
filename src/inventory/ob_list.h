// VN_ObList: a plain list of item pointers that does not own them (for
// example a view's selection), with counting helpers and a debug listing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "inventory/item_base.h"

class VN_UpdatedItem;

class VN_ObList {
public:
    void AddTail(VN_ItemGrandBase* item) { items_.push_back(item); }
    void RemoveAll() { items_.clear(); }
    size_t GetCount() const { return items_.size(); }
    bool IsEmpty() const { return items_.empty(); }
    VN_ItemGrandBase* GetAt(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }
    const std::vector<VN_ItemGrandBase*>& Items() const { return items_; }

    // Entries whose current version (GetCurrentVers) is not empty.
    int CountWithCurrent() const;
    // The first non-null entry, or nullptr.
    VN_ItemGrandBase* FirstItem() const;
    // The first entry with a current version, or nullptr.
    VN_UpdatedItem* FirstWithCurrent() const;

    // Writes DumpText to the debug stream.
    void Dump() const;
    // The debug listing: a header, the totals, then per entry its product id,
    // display name, GUID, program path, uninstall command, program name and
    // file description.
    std::string DumpText() const;

private:
    std::vector<VN_ItemGrandBase*> items_;
};
