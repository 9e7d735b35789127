#include "engine/engine_system.h"

#include <mutex>

namespace engine {
namespace {
std::mutex g_mutex;
std::unique_ptr<IEngineSystem> g_system;
}  // namespace

IEngineSystem& EngineSystem() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_system) g_system = MakeDefaultEngineSystem();
    return *g_system;
}

void InstallEngineSystem(std::unique_ptr<IEngineSystem> system) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_system = std::move(system);
}

}  // namespace engine
