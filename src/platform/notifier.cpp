#include "platform/notifier.h"

#include <mutex>

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

void InstallNotifier(std::unique_ptr<INotifier> notifier) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_notifier = std::move(notifier);
}

}  // namespace platform
