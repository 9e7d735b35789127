#include "scanners/item_uninstall.h"

#include "inventory/watch_list.h"
#include "scanners/products.h"

namespace scanners {

UninstallOutcome UninstallItem(VN_WatchList& list, VN_WatchItem& item, const VN_UninstallString::CommandRunner& runner,
                               const RegScan::ProductSources& sources) {
    if (item.uninstallString.empty()) return UninstallOutcome::NoCommand;
    // A command that cannot start still leads to the test: an entry whose
    // uninstaller has already been removed may name a product that is gone.
    const std::string key = item.keyName;
    const auto platformRunner = [&key, &sources](const std::string& line) {
        return RunCommandAndWait(line, [&key, &sources] { return !RegScan::IsProductInstalled(key, sources); });
    };
    VN_UninstallString::RunUninstallCommand(item.uninstallString,
                                            runner ? runner : VN_UninstallString::CommandRunner(platformRunner));
    return MarkIfUninstalled(list, item, sources);
}

UninstallOutcome MarkIfUninstalled(VN_WatchList& list, VN_WatchItem& item, const RegScan::ProductSources& sources) {
    if (RegScan::IsProductInstalled(item.keyName, sources)) return UninstallOutcome::StillInstalled;
    list.MarkGroupGone(item.productGuid);
    item.removed = item_state::kGone;
    list.SetModified();
    return UninstallOutcome::Gone;
}

}  // namespace scanners
