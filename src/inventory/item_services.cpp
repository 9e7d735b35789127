#include "inventory/item_services.h"

#include <mutex>
#include <utility>

namespace inventory {
namespace {

std::mutex g_mutex;
std::unique_ptr<IInstallerQuery> g_installer;
std::unique_ptr<IItemIcons> g_icons;

}  // namespace

IInstallerQuery& InstallerQuery() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_installer) g_installer = MakePlatformInstallerQuery();
    return *g_installer;
}

std::unique_ptr<IInstallerQuery> InstallInstallerQuery(std::unique_ptr<IInstallerQuery> query) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::exchange(g_installer, std::move(query));
}

IItemIcons& ItemIcons() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_icons) g_icons = MakePlatformItemIcons();
    return *g_icons;
}

std::unique_ptr<IItemIcons> InstallItemIcons(std::unique_ptr<IItemIcons> icons) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::exchange(g_icons, std::move(icons));
}

}  // namespace inventory
