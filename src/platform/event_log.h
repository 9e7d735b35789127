// The Windows event log, as the program reports to it: one text per event,
// under the source "Zelto Varnel" (string 57344) with the user's SID. The
// core reports through EventLog(); Windows installs the real reporter, the
// host a null one, and tests may install a recorder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class EventKind {
    Error,         // EVENTLOG_ERROR_TYPE, id 0xC0020002: every text of the message reporter
    CheckSummary,  // EVENTLOG_INFORMATION_TYPE, id 0x40020001: the summary after a completed check
    Information,   // EVENTLOG_INFORMATION_TYPE, id 0x40020003
};

inline constexpr uint32_t kEventIdError = 0xC0020002u;
inline constexpr uint32_t kEventIdCheckSummary = 0x40020001u;
inline constexpr uint32_t kEventIdInformation = 0x40020003u;
// The string-table entry that names the event source.
inline constexpr int kEventSourceStringId = 57344;

uint32_t EventIdOf(EventKind kind);

class IEventLog {
public:
    virtual ~IEventLog() = default;
    // True when the event was reported; a failure is never more than that.
    virtual bool Report(EventKind kind, const std::string& text) = 0;
};

// The process's event log (the platform's default unless another was installed).
IEventLog& EventLog();
// Replaces the event log and returns the one it replaced (nullptr: the default).
std::unique_ptr<IEventLog> InstallEventLog(std::unique_ptr<IEventLog> log);
std::unique_ptr<IEventLog> MakeDefaultEventLog();

}  // namespace platform
