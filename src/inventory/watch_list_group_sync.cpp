#include "inventory/watch_list_group_sync.h"

#include <exception>
#include <unordered_map>
#include <unordered_set>

#include "platform/log.h"
#include "platform/text.h"

namespace {

// Installer codes compare without regard to case.
std::string GroupKey(const std::string& productGuid) { return textutil::ToLowerAscii(productGuid); }

template <typename T>
bool Assign(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

}  // namespace

void VN_WatchListGroupSync::SyncGroupVars() {
    try {
        std::unordered_set<std::string> outdated, skipped, withCurrent;
        std::unordered_map<std::string, int32_t> currentCount;
        const std::vector<VN_WatchItem*> items = WatchItems();
        for (const VN_WatchItem* item : items) {
            if (item->productGuid.empty()) continue;
            const std::string key = GroupKey(item->productGuid);
            if (item->outdated) outdated.insert(key);
            if (item->skipped) skipped.insert(key);
            if (!item->currentVers.empty()) {
                withCurrent.insert(key);
                ++currentCount[key];
            }
        }
        bool changed = false;
        for (VN_WatchItem* item : items) {
            bool groupOutdated, groupSkipped, groupHasCurrent;
            int32_t groupCurrentCount;
            if (item->productGuid.empty()) {
                groupOutdated = item->outdated;
                groupSkipped = item->skipped;
                groupHasCurrent = !item->currentVers.empty();
                groupCurrentCount = groupHasCurrent ? 1 : 0;
            } else {
                const std::string key = GroupKey(item->productGuid);
                groupOutdated = outdated.count(key) != 0;
                groupSkipped = skipped.count(key) != 0;
                groupHasCurrent = withCurrent.count(key) != 0;
                auto count = currentCount.find(key);
                groupCurrentCount = count == currentCount.end() ? 0 : count->second;
            }
            changed |= Assign(item->groupOutdated, groupOutdated);
            changed |= Assign(item->groupSkipped, groupSkipped);
            changed |= Assign(item->groupHasCurrent, groupHasCurrent);
            changed |= Assign(item->groupCurrentCount, groupCurrentCount);
        }
        if (changed) SetModified();
    } catch (const std::exception&) {
        vnlog::Warning("VN_WatchList::SyncGroupVars");
    } catch (...) {
        vnlog::Warning("VN_WatchList::SyncGroupVars", true);
    }
    // It runs after every reply of the service, which renames entries, and
    // after the view's changes: the identity index looks at them afresh.
    IdentityFieldsChanged();
}

void VN_WatchListGroupSync::ExpandSuites() {
    for (VN_WatchItem* item : WatchItems()) {
        if (!item->IsSuite() || item->groupCurrentCount <= 1) continue;
        if (Assign(item->expanded, true)) SetModified();
        SetGroupVar(item->productGuid, 1, false);
    }
}

bool VN_WatchListGroupSync::SetGroupVar(const std::string& productGuid, int value, bool which) {
    if (productGuid.empty()) return false;
    bool changed = false;
    for (VN_WatchItem* item : WatchItems()) {
        if (item->productGuid.empty() || !textutil::EqualsNoCase(item->productGuid, productGuid)) continue;
        if (which)
            changed |= Assign(item->removed, value != 0 ? item_state::kRemovedByUser : item_state::kPresent);
        else
            changed |= Assign(item->expanded, value != 0);
    }
    if (changed) SetModified();
    return true;
}

bool VN_WatchListGroupSync::MarkGroupGone(const std::string& productGuid) {
    if (productGuid.empty()) return false;
    bool changed = false;
    for (VN_WatchItem* item : WatchItems())
        if (!item->productGuid.empty() && textutil::EqualsNoCase(item->productGuid, productGuid))
            changed |= Assign(item->removed, item_state::kGone);
    if (changed) SetModified();
    return true;
}

void VN_WatchListGroupSync::CombineByMatchedPvId() {
    const std::vector<VN_WatchItem*> items = WatchItems();
    std::unordered_map<std::string, VN_WatchItem*> firstSeen(items.size() * 2 + 1);
    bool changed = false;
    for (VN_WatchItem* item : items) {
        // A hidden item (a folded component, a program that is gone) neither
        // hides a shown one nor takes its place. What the user removed still
        // counts, so that its duplicates stay hidden with it.
        if (item->matchedPvId.empty() || item->removed == item_state::kGone) continue;
        auto [it, inserted] = firstSeen.emplace(item->matchedPvId, item);
        if (inserted) continue;
        VN_WatchItem* kept = it->second;
        // An uninstall entry describes the product better than a program found by file.
        if (!kept->uninstallString.empty() || item->uninstallString.empty()) {
            changed |= Assign(item->removed, item_state::kGone);
        } else {
            changed |= Assign(kept->removed, item_state::kGone);
            it->second = item;
        }
    }
    if (changed) SetModified();
}
