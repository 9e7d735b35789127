#include "platform/event_log.h"

#include <mutex>

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

void InstallEventLog(std::unique_ptr<IEventLog> log) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log = std::move(log);
}

}  // namespace platform
