// VN_WatchListGroupSync: the second layer of the watch list. Items that share
// an installer product code form a group (a suite and its components); this
// layer computes the group state the views show, expands and removes whole
// groups, marks an uninstalled product's group gone, and hides duplicates
// that the update service matched to the same catalogue entry.
#pragma once

#include <string>

#include "inventory/watch_list_add.h"

class VN_WatchListGroupSync : public VN_WatchListAdd {
public:
    using VN_WatchListAdd::VN_WatchListAdd;

    // Recomputes groupOutdated, groupSkipped, groupHasCurrent and
    // groupCurrentCount of every item: an item with a product code takes its
    // group's state, any other item its own.
    void SyncGroupVars();
    // Opens every suite whose group has more than one item with a current
    // version, together with its whole group.
    void ExpandSuites();
    // For every item of the product code's group: with `which` true sets
    // removed (1 for a non-zero value, else 0), otherwise sets expanded.
    // False for an empty product code.
    bool SetGroupVar(const std::string& productGuid, int value, bool which);
    // Marks every item of the product code's group gone (removed = 2), as
    // after the product's uninstall. False for an empty product code.
    bool MarkGroupGone(const std::string& productGuid);
    // Of items that the service matched to the same catalogue entry
    // (matchedPvId), only one stays shown: the first, unless a later one has
    // an uninstall command and the first has none. The others are hidden
    // (removed = 2), not merged. Hidden items (removed = 2) take no part;
    // what the user removed does, so its duplicates stay hidden with it.
    void CombineByMatchedPvId();
};
