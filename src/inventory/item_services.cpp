#include "inventory/item_services.h"

#include <mutex>

namespace inventory {
namespace {

class NoInstaller final : public IInstallerQuery {
public:
    std::optional<std::string> ProductInfo(const std::string&, const std::string&) override { return std::nullopt; }
};

std::mutex g_mutex;
std::unique_ptr<IInstallerQuery> g_installer;
std::unique_ptr<IItemIcons> g_icons;

}  // namespace

IInstallerQuery& InstallerQuery() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_installer) g_installer = std::make_unique<NoInstaller>();
    return *g_installer;
}

void InstallInstallerQuery(std::unique_ptr<IInstallerQuery> query) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_installer = std::move(query);
}

IItemIcons& ItemIcons() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_icons) g_icons = MakePlatformItemIcons();
    return *g_icons;
}

void InstallItemIcons(std::unique_ptr<IItemIcons> icons) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_icons = std::move(icons);
}

}  // namespace inventory
