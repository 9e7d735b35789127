// The host has no event log: reports go nowhere unless a test installs a recorder.
#include "platform/event_log.h"

namespace platform {
namespace {

class NullEventLog : public IEventLog {
public:
    bool Report(EventKind, const std::string&) override { return false; }
};

}  // namespace

std::unique_ptr<IEventLog> MakeDefaultEventLog() { return std::make_unique<NullEventLog>(); }

}  // namespace platform
