// VN_ScanEngine: one run of the scan worker, from start to end. It takes the
// inventory of the machine into the watch list, asks the update service about
// it, applies the answer, keeps the lists and tells the main window what
// happened, only by posting (engine/worker_posts.h, platform/post_safe.h).
//
// Four entries, named as they appear in the log:
//   SearchAllMySoftware         the inventory scan alone
//   SearchAllMySoftwareWUpdate  PreScan, the inventory scan, then CheckForUpdates
//   CheckForUpdates             the check alone, on the lists as they stand
//   SearchOpenApplications      the running-program scan alone
// Each returns 0 and lets no exception out: a failure is logged as
// "*** Error caught exception in <entry>:" and the entry still posts its
// closing phase.
//
// Stopping is cooperative: the main frame sets the watch list's stop event,
// and every long loop here, in the scanners and in the document writer polls
// it between items. The lists are saved only at the points named below, so
// a stopped run never leaves a half-written file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/engine_system.h"

class VN_WatchList;
namespace Views {
class CDriverData;
}

namespace engine {

// The engine's tries at the scan report, and the pause after each try that
// did not end the polling.
inline constexpr int kReportPollTries = 7;
inline constexpr uint32_t kReportPollIntervalMs = 10000;

enum class WorkerEntry { SearchAllMySoftware, SearchAllMySoftwareWUpdate, CheckForUpdates, SearchOpenApplications };
const char* WorkerEntryName(WorkerEntry entry);

class VN_ScanEngine {
public:
    // Over the process's engine system. The lists outlive the engine.
    VN_ScanEngine(VN_WatchList& watchList, Views::CDriverData& driverList);
    VN_ScanEngine(VN_WatchList& watchList, Views::CDriverData& driverList, IEngineSystem& system);

    // Runs one entry on the calling thread (the worker); returns 0.
    int Run(WorkerEntry entry);

    int SearchAllMySoftware();
    int SearchAllMySoftwareWUpdate();
    int CheckForUpdates();
    int SearchOpenApplications();

    // The short exchange that fetches exclusions, a scan identifier and news
    // of a newer agent. True only when the service answered with code "0".
    bool PreScan();

    // ---- connections, set before a run
    // Asked after a successful pre-scan (not on a first run that opened the
    // welcome page): whether an agent update is to be installed now, which
    // ends the run there. Unset answers no.
    std::function<bool()> installClientUpdateNow;
    // The time of the next scheduled scan (seconds since 1970; 0 for none),
    // which the check request reports. Unset answers 0.
    std::function<int64_t()> nextScheduledScan;
    // The pause between tries at the scan report. A stop request ends the
    // pause and the run.
    uint32_t reportPollIntervalMs = kReportPollIntervalMs;

    // How long the steps of the last run took, in milliseconds (0 for a
    // step that did not run). A full pass logs them at its end.
    struct StepTimes {
        int64_t preScan = 0;
        int64_t inventory = 0;
        int64_t versionRefresh = 0;
        int64_t exchange = 0;
        int64_t reportPolling = 0;
    };
    StepTimes LastStepTimes() const { return times_; }

    // Whether the last check ended without an answer it could use, for a
    // reason a later try may not meet: offline, no reply, a reply that is
    // not the service's, a service error, a failure of the check itself.
    // Not for a stopped check, nor for an account the service refused.
    // Read on any thread once the check's closing phase has arrived.
    bool LastCheckFailed() const { return lastCheckFailed_.load(); }

private:
    bool InventoryScan();
    void RunCheck();
    // Polls the report of this scan, then fetches the out-of-date list;
    // answers the notify value of the completion notice, or -1 when the run
    // was stopped meanwhile.
    int PollScanReport();
    // Wrong-item reports that went out with the request are done with.
    void ClearSentReports();

    VN_WatchList& watch_;
    Views::CDriverData& drivers_;
    IEngineSystem& system_;
    StepTimes times_;
    std::atomic<bool> lastCheckFailed_{false};
};

}  // namespace engine
