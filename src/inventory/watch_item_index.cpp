#include "inventory/watch_item_index.h"

#include <algorithm>
#include <limits>

#include "inventory/watch_item.h"
#include "platform/text.h"

namespace inventory {
namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// Texts that IsSameItem compares without regard to case are keyed folded;
// several texts are joined with their lengths, so no two different tuples
// share a key whatever bytes they hold.
void AppendPart(std::string& key, const std::string& text) {
    key += std::to_string(text.size());
    key += ':';
    key += textutil::ToLowerAscii(text);
}

std::string Folded(const std::string& text) { return textutil::ToLowerAscii(text); }

std::optional<std::string> ProgramKey(const VN_WatchItem& item) {
    if (item.executableName.empty() || item.progName.empty() || item.installedVers.empty()) return std::nullopt;
    std::string key;
    AppendPart(key, item.executableName);
    AppendPart(key, item.progName);
    AppendPart(key, item.installedVers);
    return key;
}

std::optional<std::string> ComponentKey(const VN_WatchItem& item) {
    if (!item.HasComponentGuid()) return std::nullopt;
    std::string key;
    AppendPart(key, item.productGuid);
    AppendPart(key, item.componentGuid);
    return key;
}

std::optional<std::string> SuiteKey(const VN_WatchItem& item) {
    if (!item.IsSuite()) return std::nullopt;
    return Folded(item.productGuid);
}

}  // namespace

WatchItemIndex::Keys WatchItemIndex::EntryKeys(const VN_WatchItem& entry) {
    Keys keys;
    keys.program = ProgramKey(entry);
    if (!entry.targetName.empty()) keys.path = Folded(entry.targetName);
    keys.suite = SuiteKey(entry);
    keys.component = ComponentKey(entry);
    // The signature rule holds for an entry with an uninstall command whose
    // signature equals the scanned one exactly, an empty one included.
    if (!entry.uninstallString.empty()) keys.signature = entry.signature;
    if (!entry.keyName.empty()) keys.keyName = Folded(entry.keyName);
    return keys;
}

void WatchItemIndex::Clear() {
    slots_.clear();
    positions_.clear();
    for (Table* table : {&program_, &path_, &suite_, &component_, &signature_, &keyName_}) table->clear();
}

namespace {
void InsertSorted(std::unordered_map<std::string, std::vector<uint32_t>>& table, const std::optional<std::string>& key,
                  uint32_t position) {
    if (!key) return;
    std::vector<uint32_t>& list = table[*key];
    if (list.empty() || list.back() < position) list.push_back(position);
    else list.insert(std::lower_bound(list.begin(), list.end(), position), position);
}

void EraseSorted(std::unordered_map<std::string, std::vector<uint32_t>>& table, const std::optional<std::string>& key,
                 uint32_t position) {
    if (!key) return;
    auto it = table.find(*key);
    if (it == table.end()) return;
    std::vector<uint32_t>& list = it->second;
    auto at = std::lower_bound(list.begin(), list.end(), position);
    if (at != list.end() && *at == position) list.erase(at);
    if (list.empty()) table.erase(it);
}
}  // namespace

void WatchItemIndex::Insert(uint32_t position, const Keys& keys) {
    InsertSorted(program_, keys.program, position);
    InsertSorted(path_, keys.path, position);
    InsertSorted(suite_, keys.suite, position);
    InsertSorted(component_, keys.component, position);
    InsertSorted(signature_, keys.signature, position);
    InsertSorted(keyName_, keys.keyName, position);
}

void WatchItemIndex::Erase(uint32_t position, const Keys& keys) {
    EraseSorted(program_, keys.program, position);
    EraseSorted(path_, keys.path, position);
    EraseSorted(suite_, keys.suite, position);
    EraseSorted(component_, keys.component, position);
    EraseSorted(signature_, keys.signature, position);
    EraseSorted(keyName_, keys.keyName, position);
}

void WatchItemIndex::Append(VN_WatchItem* item) {
    if (item == nullptr) return;
    const uint32_t position = static_cast<uint32_t>(slots_.size());
    slots_.push_back({item, EntryKeys(*item)});
    positions_[item] = position;
    Insert(position, slots_.back().keys);
}

bool WatchItemIndex::Refresh(VN_WatchItem* item) {
    auto found = positions_.find(item);
    if (found == positions_.end()) return false;
    const uint32_t position = found->second;
    Slot& slot = slots_[position];
    Keys fresh = EntryKeys(*item);
    Erase(position, slot.keys);
    slot.keys = std::move(fresh);
    Insert(position, slot.keys);
    return true;
}

uint32_t WatchItemIndex::Earliest(const Table& table, const std::optional<std::string>& key) {
    if (!key) return kNone;
    auto it = table.find(*key);
    return it == table.end() || it->second.empty() ? kNone : it->second.front();
}

VN_WatchItem* WatchItemIndex::FindFirst(const VN_WatchItem& scanned) const {
    // The scanned item's side of each rule: where its own fields make a rule
    // impossible (an empty text can never equal an entry's non-empty one),
    // that rule is not looked up.
    const std::optional<std::string> suite = SuiteKey(scanned);
    std::optional<std::string> path;
    if (!scanned.targetName.empty()) path = Folded(scanned.targetName);
    const uint32_t candidates[] = {
        Earliest(program_, ProgramKey(scanned)),
        Earliest(path_, path),
        Earliest(suite_, suite),
        Earliest(component_, ComponentKey(scanned)),
        Earliest(signature_, std::optional<std::string>(scanned.signature)),
        Earliest(keyName_, suite),
    };
    const uint32_t first = *std::min_element(std::begin(candidates), std::end(candidates));
    return first == kNone ? nullptr : slots_[first].item;
}

}  // namespace inventory
