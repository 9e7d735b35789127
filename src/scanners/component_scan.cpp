#include "scanners/component_scan.h"

#include <exception>
#include <optional>
#include <utility>

#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/text.h"

VN_ScanRegistry::VN_ScanRegistry(VN_WatchList& context, ItemFromFile itemFromFile, RegScan::IInstallerData* installer)
    : context_(context), itemFromFile_(std::move(itemFromFile)), installer_(installer) {}

bool VN_ScanRegistry::KeyPathUsable(const RegScan::ComponentKeyPath& keyPath) const {
    namespace state = RegScan::install_state;
    switch (keyPath.state) {
    case state::kAbsent:
    case state::kBadConfig:
    case state::kInvalidArg:
    case state::kUnknown:
    // A key path longer than the buffer would be cut and could name another
    // file: such a component is skipped rather than read past the buffer.
    case state::kMoreData:
        return false;
    default:
        break;
    }
    return textutil::EqualsNoCase(textutil::ExtensionOf(keyPath.path), "exe");
}

bool VN_ScanRegistry::Run() {
    if (!installer_ || !itemFromFile_) return false;
    try {
        for (uint32_t index = 0;; ++index) {
            const std::optional<std::string> component = installer_->ComponentCode(index);
            if (!component) break;
            if (context_.IsStopRequested()) return true;
            const std::optional<std::string> product = installer_->ComponentProduct(*component);
            if (!product || textutil::EqualsNoCase(*product, kNullProductCode)) continue;
            const RegScan::ComponentKeyPath keyPath = installer_->ComponentPath(*product, *component);
            if (!KeyPathUsable(keyPath)) continue;

            VN_WatchItem item;
            if (itemFromFile_(keyPath.path, item, true) != 0) continue;
            item.SetProductGuid(*product);
            item.componentGuid = *component;
            item.comFromReg = true;
            context_.AddOrMerge(item, false, true);

            // The product's suite item: the product code and nothing else.
            VN_WatchItem suite;
            suite.SetProductGuid(*product);
            context_.AddOrMerge(suite, false, true);
        }
    } catch (const std::exception&) {
        // A scan that failed part way counts as stopped, so that the
        // inventory pass does not remove what it never reached.
        vnlog::Warning("VN_ScanRegistry::Run");
        return true;
    } catch (...) {
        vnlog::Warning("VN_ScanRegistry::Run", true);
        return true;
    }
    return false;
}
