// The host has no registry and no Windows Installer: nothing is installed.
#include "scanners/product_sources.h"

namespace RegScan {

ProductSources PlatformProductSources() { return ProductSources{}; }

}  // namespace RegScan
