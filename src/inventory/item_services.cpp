#include "inventory/item_services.h"

#include <mutex>

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
