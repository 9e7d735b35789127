// CEventLogger: reports to the Windows event log under the source "Zelto
// Varnel" with the current user's SID. The source is registered, used and
// deregistered for each event; a failure to register only means the event is
// not reported.
#pragma once

#include <string>
#include <vector>

#include "platform/event_log.h"
#include "platform/win/win.h"

namespace platform {

class CEventLogger : public IEventLog {
public:
    // Reads the user's SID from the process token once.
    CEventLogger();
    bool Report(EventKind kind, const std::string& text) override;

    // The user's SID as read from the token, or null when it could not be read.
    PSID UserSid() const { return sid_.empty() ? nullptr : const_cast<BYTE*>(sid_.data()); }

private:
    std::vector<BYTE> sid_;
};

}  // namespace platform
