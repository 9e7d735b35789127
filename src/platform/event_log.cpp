#include "platform/event_log.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {
std::mutex g_mutex;
std::unique_ptr<IEventLog> g_log;
}  // namespace

uint32_t EventIdOf(EventKind kind) {
    switch (kind) {
        case EventKind::Error: return kEventIdError;
        case EventKind::CheckSummary: return kEventIdCheckSummary;
        case EventKind::Information: return kEventIdInformation;
    }
    return kEventIdInformation;
}

IEventLog& EventLog() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_log) g_log = MakeDefaultEventLog();
    return *g_log;
}

std::unique_ptr<IEventLog> InstallEventLog(std::unique_ptr<IEventLog> log) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::exchange(g_log, std::move(log));
}

}  // namespace platform
