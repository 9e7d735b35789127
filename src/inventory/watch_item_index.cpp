#include "inventory/watch_item_index.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <string_view>

#include "inventory/watch_item.h"
#include "platform/text.h"

namespace inventory {

// ------------------------------------------------------------ PositionTable

namespace {

// Spreads a key over the table (the final mix of splitmix64).
size_t Spread(uint64_t key) {
    key ^= key >> 30;
    key *= 0xBF58476D1CE4E5B9ull;
    key ^= key >> 27;
    key *= 0x94D049BB133111EBull;
    key ^= key >> 31;
    return static_cast<size_t>(key);
}

}  // namespace

void PositionTable::Reset(size_t expected) {
    size_t size = 16;
    while (size < expected * 2) size *= 2;
    cells_.assign(size, Cell{});
    nodes_.clear();
    nodes_.reserve(expected);
    freeNodes_ = kNone;
    usedCells_ = 0;
}

void PositionTable::Prefetch(uint64_t key) const {
    if (!cells_.empty()) __builtin_prefetch(&cells_[Spread(key) & (cells_.size() - 1)]);
}

const PositionTable::Cell* PositionTable::Find(uint64_t key) const {
    if (cells_.empty()) return nullptr;
    const size_t mask = cells_.size() - 1;
    for (size_t i = Spread(key) & mask;; i = (i + 1) & mask) {
        const Cell& cell = cells_[i];
        if (cell.key == key) return &cell;
        if (cell.key == 0) return nullptr;
    }
}

PositionTable::Cell& PositionTable::Claim(uint64_t key) {
    if (cells_.empty() || (usedCells_ + 1) * 2 > cells_.size()) Grow();
    const size_t mask = cells_.size() - 1;
    for (size_t i = Spread(key) & mask;; i = (i + 1) & mask) {
        Cell& cell = cells_[i];
        if (cell.key == key) return cell;
        if (cell.key == 0) {
            cell.key = key;
            ++usedCells_;
            return cell;
        }
    }
}

void PositionTable::Grow() {
    // Keys whose positions were all erased are dropped on the way.
    std::vector<Cell> old;
    old.swap(cells_);
    cells_.assign(std::max<size_t>(16, old.size() * 2), Cell{});
    usedCells_ = 0;
    const size_t mask = cells_.size() - 1;
    for (const Cell& cell : old) {
        if (cell.key == 0 || cell.first == kNone) continue;
        size_t i = Spread(cell.key) & mask;
        while (cells_[i].key != 0) i = (i + 1) & mask;
        cells_[i] = cell;
        ++usedCells_;
    }
}

uint32_t PositionTable::NewNode(uint32_t position) {
    if (freeNodes_ != kNone) {
        const uint32_t n = freeNodes_;
        freeNodes_ = nodes_[n].next;
        nodes_[n] = {position, kNone};
        return n;
    }
    nodes_.push_back({position, kNone});
    return static_cast<uint32_t>(nodes_.size() - 1);
}

void PositionTable::FreeNode(uint32_t node) {
    nodes_[node].next = freeNodes_;
    freeNodes_ = node;
}

void PositionTable::Insert(uint64_t key, uint32_t position) {
    Cell& cell = Claim(key);
    if (cell.first == kNone) {
        cell.first = position;
        return;
    }
    if (position < cell.first) std::swap(position, cell.first);
    const uint32_t node = NewNode(position);
    if (cell.rest == kNone) {
        cell.rest = cell.restTail = node;
    } else if (nodes_[cell.restTail].position < position) {
        // Entries are indexed in list order, so this is the usual case.
        nodes_[cell.restTail].next = node;
        cell.restTail = node;
    } else if (position < nodes_[cell.rest].position) {
        nodes_[node].next = cell.rest;
        cell.rest = node;
    } else {
        uint32_t at = cell.rest;
        while (nodes_[at].next != kNone && nodes_[nodes_[at].next].position < position) at = nodes_[at].next;
        nodes_[node].next = nodes_[at].next;
        nodes_[at].next = node;
        if (nodes_[node].next == kNone) cell.restTail = node;
    }
}

void PositionTable::Erase(uint64_t key, uint32_t position) {
    auto* cell = const_cast<Cell*>(Find(key));
    if (cell == nullptr || cell->first == kNone) return;
    if (cell->first == position) {
        // The next position moves up into the cell.
        const uint32_t next = cell->rest;
        if (next == kNone) {
            cell->first = kNone;
            return;
        }
        cell->first = nodes_[next].position;
        cell->rest = nodes_[next].next;
        if (cell->rest == kNone) cell->restTail = kNone;
        FreeNode(next);
        return;
    }
    uint32_t previous = kNone;
    for (uint32_t n = cell->rest; n != kNone; previous = n, n = nodes_[n].next) {
        if (nodes_[n].position != position) continue;
        const uint32_t next = nodes_[n].next;
        if (previous == kNone) cell->rest = next;
        else nodes_[previous].next = next;
        if (cell->restTail == n) cell->restTail = previous;
        FreeNode(n);
        return;
    }
}

// ----------------------------------------------------------- WatchItemIndex

namespace {

// A hash of the fields, eight bytes at a time, each field followed by its
// length so that no two different tuples feed the same words; folded fields
// hash their ASCII lower case, as IsSameItem compares them. Never 0 (an
// unused table cell). Collisions only cost a look-up its rebuild: every
// candidate is checked against the rule itself.
class Hasher {
public:
    Hasher& Folded(std::string_view text) { return Field(text, true); }
    Hasher& Exact(std::string_view text) { return Field(text, false); }
    uint64_t Value() const { return value_ != 0 ? value_ : 1; }

private:
    static constexpr uint64_t kOnes = 0x0101010101010101ull;
    static constexpr uint64_t kHighBits = 0x8080808080808080ull;

    // ASCII capitals of the eight bytes become small letters; other bytes
    // stay as they are.
    static uint64_t FoldAscii(uint64_t x) {
        const uint64_t low7 = x & ~kHighBits;
        const uint64_t atLeastA = low7 + (0x80 - 'A') * kOnes;
        const uint64_t aboveZ = low7 + (0x80 - 'Z' - 1) * kOnes;
        const uint64_t capitals = atLeastA & ~aboveZ & ~x & kHighBits;
        return x | (capitals >> 2);
    }
    void Mix(uint64_t word) {
        value_ ^= word;
        value_ *= 0x9E3779B97F4A7C15ull;
        value_ ^= value_ >> 29;
    }
    Hasher& Field(std::string_view text, bool fold) {
        const char* p = text.data();
        size_t left = text.size();
        for (; left >= 8; p += 8, left -= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            Mix(fold ? FoldAscii(word) : word);
        }
        if (left != 0) {
            uint64_t word = 0;
            std::memcpy(&word, p, left);
            Mix(fold ? FoldAscii(word) : word);
        }
        Mix(text.size() ^ 0xA5A5A5A5A5A5A5A5ull);
        return *this;
    }

    uint64_t value_ = 0x6A09E667F3BCC909ull;
};

bool NonEmptyEqual(const std::string& mine, const std::string& theirs) {
    return !mine.empty() && textutil::EqualsNoCase(mine, theirs);
}

bool CanMatchProgram(const VN_WatchItem& item) {
    return !item.executableName.empty() && !item.progName.empty() && !item.installedVers.empty();
}

uint64_t ProgramHash(const VN_WatchItem& item) {
    return Hasher().Folded(item.executableName).Folded(item.progName).Folded(item.installedVers).Value();
}

uint64_t ComponentHash(const VN_WatchItem& item) {
    return Hasher().Folded(item.productGuid).Folded(item.componentGuid).Value();
}

}  // namespace

WatchItemIndex::Keys WatchItemIndex::EntryKeys(const VN_WatchItem& entry) {
    Keys keys;
    auto set = [&keys](Rule rule, uint64_t hash) {
        keys.hash[rule] = hash;
        keys.present |= 1u << rule;
    };
    if (CanMatchProgram(entry)) set(kProgram, ProgramHash(entry));
    if (!entry.targetName.empty()) set(kPath, Hasher().Folded(entry.targetName).Value());
    if (entry.IsSuite()) set(kSuite, Hasher().Folded(entry.productGuid).Value());
    if (entry.HasComponentGuid()) set(kComponent, ComponentHash(entry));
    // The signature rule holds for an entry with an uninstall command whose
    // signature equals the scanned one exactly, an empty one included.
    if (!entry.uninstallString.empty()) set(kSignature, Hasher().Exact(entry.signature).Value());
    if (!entry.keyName.empty()) set(kKeyName, Hasher().Folded(entry.keyName).Value());
    return keys;
}

void WatchItemIndex::Reset(size_t expected) {
    items_.clear();
    items_.reserve(expected);
    keys_.clear();
    keys_.reserve(expected);
    for (PositionTable& table : tables_) table.Reset(expected);
}

void WatchItemIndex::Insert(uint32_t position, const Keys& keys) {
    for (int rule = 0; rule < kRuleCount; ++rule)
        if (keys.present & (1u << rule)) tables_[rule].Insert(keys.hash[rule], position);
}

void WatchItemIndex::Erase(uint32_t position, const Keys& keys) {
    for (int rule = 0; rule < kRuleCount; ++rule)
        if (keys.present & (1u << rule)) tables_[rule].Erase(keys.hash[rule], position);
}

namespace {

// The texts the identity rules read, for prefetching.
std::array<const std::string*, 9> IdentityTexts(const VN_WatchItem& item) {
    return {&item.executableName, &item.progName,      &item.installedVers,
            &item.targetName,     &item.productGuid,   &item.componentGuid,
            &item.uninstallString, &item.signature,    &item.keyName};
}

}  // namespace

void WatchItemIndex::Build(const std::vector<VN_WatchItem*>& items) {
    items_ = items;
    keys_.clear();
    keys_.reserve(items.size());
    // The entries of a long list are far apart in memory: ask for the texts
    // of the entries ahead (their headers first, then what they point to)
    // while hashing the current one.
    constexpr size_t kHeadersAhead = 8, kTextsAhead = 4;
    std::array<size_t, kRuleCount> counts{};
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + kHeadersAhead < items.size())
            for (const std::string* text : IdentityTexts(*items[i + kHeadersAhead])) __builtin_prefetch(text);
        if (i + kTextsAhead < items.size())
            for (const std::string* text : IdentityTexts(*items[i + kTextsAhead])) __builtin_prefetch(text->data());
        keys_.push_back(EntryKeys(*items[i]));
        for (int rule = 0; rule < kRuleCount; ++rule) counts[rule] += (keys_.back().present >> rule) & 1u;
    }
    // Each table sized for the keys it gets: small tables stay in the cache.
    for (int rule = 0; rule < kRuleCount; ++rule) tables_[rule].Reset(counts[rule]);
    for (size_t i = 0; i < items.size(); ++i) Insert(static_cast<uint32_t>(i), keys_[i]);
}

void WatchItemIndex::PrefetchAfter(uint32_t position) const {
    // The next entry's texts (their headers arrived with the previous call),
    // and the headers of the one after it.
    if (position + 1 < items_.size()) {
        const VN_WatchItem& next = *items_[position + 1];
        for (const std::string* text : IdentityTexts(next)) __builtin_prefetch(text->data());
        __builtin_prefetch(&next.source);
        __builtin_prefetch(&next.installedVers2);
    }
    if (position + 2 < items_.size()) {
        const VN_WatchItem& later = *items_[position + 2];
        __builtin_prefetch(&later);
        for (const std::string* text : IdentityTexts(later)) __builtin_prefetch(text);
    }
}

void WatchItemIndex::Append(VN_WatchItem* item) {
    if (item == nullptr) return;
    const auto position = static_cast<uint32_t>(items_.size());
    items_.push_back(item);
    keys_.push_back(EntryKeys(*item));
    Insert(position, keys_.back());
}

void WatchItemIndex::Refresh(uint32_t position) {
    if (position >= items_.size()) return;
    Erase(position, keys_[position]);
    keys_[position] = EntryKeys(*items_[position]);
    Insert(position, keys_[position]);
}

WatchItemIndex::Found WatchItemIndex::FindFirst(const VN_WatchItem& s) const {
    Found found;
    uint32_t best = PositionTable::kNone;
    // Each rule as IsSameItem states it, tested on the entry against the
    // scanned item; only rules the scanned item's own fields allow are looked up.
    auto consider = [&](Rule rule, uint64_t hash, auto&& holds) {
        const uint32_t at =
            tables_[rule].First(hash, best, [&](uint32_t p) { return holds(*items_[p]); }, found.rejected);
        if (at != PositionTable::kNone) best = at;
    };
    // The scanned item's keys first, so that the tables' cells load together.
    const uint64_t program = CanMatchProgram(s) ? ProgramHash(s) : 0;
    const uint64_t path = s.targetName.empty() ? 0 : Hasher().Folded(s.targetName).Value();
    const uint64_t code = s.IsSuite() ? Hasher().Folded(s.productGuid).Value() : 0;
    const uint64_t component = s.HasComponentGuid() ? ComponentHash(s) : 0;
    const uint64_t signature = Hasher().Exact(s.signature).Value();
    if (program != 0) tables_[kProgram].Prefetch(program);
    if (path != 0) tables_[kPath].Prefetch(path);
    if (code != 0) {
        tables_[kSuite].Prefetch(code);
        tables_[kKeyName].Prefetch(code);
    }
    if (component != 0) tables_[kComponent].Prefetch(component);
    tables_[kSignature].Prefetch(signature);

    if (program != 0)
        consider(kProgram, program, [&](const VN_WatchItem& e) {
            return NonEmptyEqual(e.executableName, s.executableName) && NonEmptyEqual(e.progName, s.progName) &&
                   NonEmptyEqual(e.installedVers, s.installedVers);
        });
    if (path != 0)
        consider(kPath, path, [&](const VN_WatchItem& e) { return NonEmptyEqual(e.targetName, s.targetName); });
    if (code != 0) {
        consider(kSuite, code, [&](const VN_WatchItem& e) { return e.IsSuite() && e.IsSameGuid(s); });
        consider(kKeyName, code,
                 [&](const VN_WatchItem& e) { return textutil::EqualsNoCase(s.productGuid, e.keyName); });
    }
    if (component != 0)
        consider(kComponent, component,
                 [&](const VN_WatchItem& e) { return e.HasComponentGuid() && e.IsSameGuid(s); });
    consider(kSignature, signature,
             [&](const VN_WatchItem& e) { return !e.uninstallString.empty() && e.signature == s.signature; });
    if (best != PositionTable::kNone) {
        found.item = items_[best];
        found.position = best;
    }
    return found;
}

}  // namespace inventory
