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

std::unique_ptr<IEngineSystem> InstallEngineSystem(std::unique_ptr<IEngineSystem> system) {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::swap(g_system, system);
    return system;
}

}  // namespace engine
