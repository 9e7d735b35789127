// The host has no Windows Installer: it knows no product.
#include "inventory/item_services.h"

namespace inventory {
namespace {

class NoInstaller final : public IInstallerQuery {
public:
    std::optional<std::string> ProductInfo(const std::string&, const std::string&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<IInstallerQuery> MakePlatformInstallerQuery() { return std::make_unique<NoInstaller>(); }

}  // namespace inventory
