// An index of watch-list entries by the fields that VN_WatchItem::IsSameItem
// tests, so that finding the entry for a scanned program costs a few hash
// look-ups instead of a walk over the whole list.
//
// The answer is the one the walk gives: the first entry in list order for
// which IsSameItem holds. Each identity rule has its own table from key to
// the entries' positions, kept in ascending order, so every rule yields its
// earliest candidate and the earliest of those wins.
//
// The index only knows what it was told: entries are appended in list order,
// and an entry whose identity fields change must be refreshed. The owner
// rebuilds it whenever it cannot vouch for that (see VN_WatchListAdd).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class VN_WatchItem;

namespace inventory {

class WatchItemIndex {
public:
    void Clear();
    // Indexes `item` as the entry after every entry indexed so far.
    void Append(VN_WatchItem* item);
    // Re-reads the identity fields of an indexed entry after they changed.
    // False when the entry is not indexed.
    bool Refresh(VN_WatchItem* item);
    // The earliest indexed entry that is `scanned` by identity, or null.
    VN_WatchItem* FindFirst(const VN_WatchItem& scanned) const;
    size_t Size() const { return slots_.size(); }

private:
    // One key per identity rule that can hold for the entry; unset where the
    // entry's own fields rule the rule out.
    struct Keys {
        std::optional<std::string> program;    // executable + program name + installed version
        std::optional<std::string> path;       // program path
        std::optional<std::string> suite;      // product code of a suite
        std::optional<std::string> component;  // product and component code of a component
        std::optional<std::string> signature;  // signature of an entry with an uninstall command
        std::optional<std::string> keyName;    // uninstall key name
    };
    using Table = std::unordered_map<std::string, std::vector<uint32_t>>;
    struct Slot {
        VN_WatchItem* item;
        Keys keys;
    };

    static Keys EntryKeys(const VN_WatchItem& entry);
    void Insert(uint32_t position, const Keys& keys);
    void Erase(uint32_t position, const Keys& keys);
    static uint32_t Earliest(const Table& table, const std::optional<std::string>& key);

    std::vector<Slot> slots_;  // by position
    std::unordered_map<const VN_WatchItem*, uint32_t> positions_;
    Table program_, path_, suite_, component_, signature_, keyName_;
};

}  // namespace inventory
