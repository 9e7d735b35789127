#include "platform/notifier.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {
std::mutex g_mutex;
std::unique_ptr<INotifier> g_notifier;
}  // namespace

INotifier& Notifier() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_notifier) g_notifier = MakeDefaultNotifier();
    return *g_notifier;
}

std::unique_ptr<INotifier> InstallNotifier(std::unique_ptr<INotifier> notifier) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::exchange(g_notifier, std::move(notifier));
}

}  // namespace platform
