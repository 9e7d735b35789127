// An index of watch-list entries by the fields that VN_WatchItem::IsSameItem
// tests, so that finding the entry for a scanned program costs a few probes
// instead of a walk over the whole list.
//
// The answer is the one the walk gives: the first entry in list order for
// which IsSameItem holds. Each identity rule has its own table from a hash of
// the rule's fields (folded where the rule ignores case) to the entries'
// positions in ascending order. A look-up takes, for every rule, the earliest
// position whose entry really satisfies the rule (hashes may collide, and an
// entry may have changed since it was indexed), and the earliest of those
// wins. Tables are flat arrays, so that an index of many thousands of entries
// stays small and quick to rebuild.
//
// The index only knows what it was told: entries are appended in list order,
// and an entry whose identity fields change must be refreshed. An entry that
// was found not to satisfy the rule it was indexed under is reported, so that
// the owner can rebuild (see VN_WatchListAdd).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class VN_WatchItem;

namespace inventory {

// A multimap from 64-bit keys to positions, each key's positions kept in
// ascending order, over open addressing.
class PositionTable {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // Empties the table, sized for about `expected` keys.
    void Reset(size_t expected);
    void Insert(uint64_t key, uint32_t position);
    void Erase(uint64_t key, uint32_t position);
    // Starts loading the key's cell, for a look-up soon after.
    void Prefetch(uint64_t key) const;
    // The first position of the key below `limit`, in ascending order, for
    // which `accept` answers true; kNone when there is none. `rejected` counts
    // the positions passed over.
    template <typename Accept>
    uint32_t First(uint64_t key, uint32_t limit, Accept&& accept, size_t& rejected) const {
        const Cell* cell = Find(key);
        if (cell == nullptr || cell->first >= limit) return kNone;  // kNone is above every limit
        if (accept(cell->first)) return cell->first;
        ++rejected;
        for (uint32_t n = cell->rest; n != kNone && nodes_[n].position < limit; n = nodes_[n].next) {
            if (accept(nodes_[n].position)) return nodes_[n].position;
            ++rejected;
        }
        return kNone;
    }

private:
    // A key's earliest position is kept in its cell, so that the usual key,
    // with one position, needs no second look-up; later positions follow in
    // a chain of nodes.
    struct Cell {
        uint64_t key = 0;  // 0: never used
        uint32_t first = kNone;
        uint32_t rest = kNone;
        uint32_t restTail = kNone;
    };
    struct Node {
        uint32_t position;
        uint32_t next;
    };

    const Cell* Find(uint64_t key) const;
    Cell& Claim(uint64_t key);
    void Grow();
    uint32_t NewNode(uint32_t position);
    void FreeNode(uint32_t node);

    std::vector<Cell> cells_;  // a power of two in size
    std::vector<Node> nodes_;
    uint32_t freeNodes_ = kNone;
    size_t usedCells_ = 0;
};

class WatchItemIndex {
public:
    struct Found {
        VN_WatchItem* item = nullptr;
        uint32_t position = PositionTable::kNone;
        // Indexed entries that did not satisfy the rule they were found under:
        // a hash collision, or an entry changed without a refresh.
        size_t rejected = 0;
    };

    // Empties the index, sized for about `expected` entries.
    void Reset(size_t expected = 0);
    // Indexes the entries afresh, in their order.
    void Build(const std::vector<VN_WatchItem*>& items);
    // Indexes `item` as the entry after every entry indexed so far.
    void Append(VN_WatchItem* item);
    // Re-reads the identity fields of the entry at `position` after they changed.
    void Refresh(uint32_t position);
    // The earliest indexed entry that is `scanned` by identity.
    Found FindFirst(const VN_WatchItem& scanned) const;
    // Scans find programs in much the same order each time, so the entries
    // after a match are likely the next ones asked for: starts loading them.
    void PrefetchAfter(uint32_t position) const;
    size_t Size() const { return items_.size(); }

private:
    enum Rule { kProgram, kPath, kSuite, kComponent, kSignature, kKeyName, kRuleCount };
    struct Keys {
        std::array<uint64_t, kRuleCount> hash{};
        unsigned present = 0;  // bit per rule: the entry can satisfy it
    };

    static Keys EntryKeys(const VN_WatchItem& entry);
    void Insert(uint32_t position, const Keys& keys);
    void Erase(uint32_t position, const Keys& keys);

    std::vector<VN_WatchItem*> items_;  // by position
    std::vector<Keys> keys_;            // by position: what each entry is indexed under
    std::array<PositionTable, kRuleCount> tables_;
};

}  // namespace inventory
