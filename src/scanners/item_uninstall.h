// The watch list view's uninstall action: run an item's uninstall command,
// wait for it, and, when the product is then no longer installed, mark the
// item and its installer group gone. The wait blocks the calling thread for
// as long as the uninstaller runs.
#pragma once

#include "scanners/product_sources.h"
#include "scanners/uninstall_string.h"

class VN_WatchList;
class VN_WatchItem;

namespace scanners {

enum class UninstallOutcome {
    NoCommand,       // the item has no uninstall command: nothing was run
    StillInstalled,  // the command ran (or could not start) and the product is still there,
                     // or the test failed and could not tell
    Gone,            // the product is gone: the item and its group are marked gone (removed = 2)
};

// Runs the item's uninstall command (through `runner`, the platform's when
// empty, whose wait for the processes the uninstaller started ends as soon
// as the item's product is no longer installed), then asks whether the product named by the item's key is still
// installed. When it is not, every item of the item's product-code group and
// the item itself get removed = 2, and the list counts as modified; the items
// stay in the list. The caller refreshes its view.
UninstallOutcome UninstallItem(VN_WatchList& list, VN_WatchItem& item,
                               const VN_UninstallString::CommandRunner& runner = {},
                               const RegScan::ProductSources& sources = RegScan::PlatformProductSources());

// The second half of UninstallItem, for a caller that ran the command itself
// (the views run it on a thread of its own and come back here on the
// user-interface thread when it ended): asks whether the item's product is
// still installed and marks the item and its group gone when it is not.
UninstallOutcome MarkIfUninstalled(VN_WatchList& list, VN_WatchItem& item,
                                   const RegScan::ProductSources& sources = RegScan::PlatformProductSources());

}  // namespace scanners
