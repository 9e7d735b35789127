// The scheduled pass: on every tick of the main frame's schedule timer it
// decides whether a scan-and-check is due and starts it. The first tick after
// start-up loads "Last Scan Time" (storing now when there is none), lets
// "Scan on Startup" make the schedule due at once, and slows the timer from
// one second to ten; "scannow" runs one check at that first tick. A schedule
// that fell due while the program was closed runs at the second tick.
//
// Nothing runs while the computer is offline, while a pass or a worker runs,
// while an agent update installs, or with frequency 0 ("Manual") unless
// "scannow" asked for a check. "Last Scan Time" is the time a scheduled or
// "scannow" run started.
//
// A scheduled check that did not get an answer it could use (the service
// unreachable or not yet reachable after a resume, a portal's page instead of
// the reply, a service error) is tried again sooner than the next interval:
// after 15 minutes, then after twice as long at each further failure, for as
// long as that comes before the regular check.
#pragma once

#include <cstdint>

namespace engine {

// The second and later ticks of the schedule timer.
inline constexpr uint32_t kScheduleTimerPeriodMs = 10000;
// The self-update state in which a program update is downloaded and installed.
inline constexpr uint32_t kSelfUpdateInstalling = 2;

// Held by the main frame.
struct ScheduleState {
    uint32_t frequency = 2;     // "Check for Updates" index 0-5
    uint32_t lastScanTime = 0;  // seconds since 1970, low 32 bits; 0: not loaded yet
    bool scanNow = false;       // from the command line, cleared by the first pass that gets past the preconditions
    bool passRunning = false;   // the re-entrancy byte
    uint32_t retryAt = 0;       // when a failed scheduled check is tried again (as lastScanTime); 0: none
    uint32_t failedChecks = 0;  // scheduled checks failed in a row
};

// The wait before the first retry of a failed scheduled check; each further
// failure doubles it.
inline constexpr uint32_t kFirstRetrySeconds = 15 * 60;

// What the pass asks of the frame and what it has the frame do.
class IScheduleHost {
public:
    virtual ~IScheduleHost() = default;
    virtual bool IsConnected() = 0;
    virtual bool IsWorkerRunning() = 0;
    virtual uint32_t SelfUpdateState() = 0;
    // Starts a scan-and-check that the user did not start.
    virtual void StartScheduledScan() = 0;
    virtual void SetScheduleTimerPeriod(uint32_t milliseconds) = 0;
};

// One tick. `now` in seconds since 1970 (the low 32 bits are used). True when
// a scan-and-check was started.
bool SchedulePass(ScheduleState& state, IScheduleHost& host, uint64_t now);

// The end of a scheduled check at `now`: `failed` when it got no answer it
// could use for a reason a later try may not meet (not an account error, nor
// a stop). A failure sets the time of the retry, unless the regular check
// comes first; a success forgets the failures.
void NoteScheduledCheckEnd(ScheduleState& state, bool failed, uint64_t now);

// The time of the next scheduled check (seconds since 1970) as the check
// request reports it: 0 with no schedule or before the first pass.
int64_t NextScheduledScan(const ScheduleState& state);

}  // namespace engine
