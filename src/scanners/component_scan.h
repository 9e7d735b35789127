// The component scan: every component the Windows Installer has registered
// whose key path is a program file becomes a watch item carrying its product
// and component codes, followed by the suite item of its product. It is the
// slow part of the inventory (one installer query per component) and runs
// only when the full scan asks for it.
#pragma once

#include <functional>
#include <string>

#include "scanners/product_sources.h"

class VN_WatchList;
class VN_WatchItem;

// The installer's product code of components that belong to no product.
inline constexpr char kNullProductCode[] = "{00000000-0000-0000-0000-000000000000}";

class VN_ScanRegistry {
public:
    // Fills a watch item from a program file; `checks` turns the exclusion
    // tests on. 0 when the item was filled, any other number when not.
    using ItemFromFile = std::function<int(const std::string& path, VN_WatchItem& item, bool checks)>;

    VN_ScanRegistry(VN_WatchList& context, ItemFromFile itemFromFile,
                    RegScan::IInstallerData* installer = RegScan::PlatformProductSources().installer);

    // Walks the installer's components and hands every program component
    // and its suite to the watch list. True when a stop request or a failure
    // (logged) ended it.
    bool Run();

private:
    // Whether the component's key path names an installed program file.
    bool KeyPathUsable(const RegScan::ComponentKeyPath& keyPath) const;

    VN_WatchList& context_;
    ItemFromFile itemFromFile_;
    RegScan::IInstallerData* installer_;
};
