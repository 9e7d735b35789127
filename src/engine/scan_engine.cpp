#include "engine/scan_engine.h"

#include <chrono>
#include <exception>
#include <vector>

#include "engine/prescan_status.h"
#include "engine/schedule_interval.h"
#include "engine/worker_posts.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/post_safe.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "scanners/driver_search.h"
#include "scanners/program_discovery.h"
#include "service/scan_report.h"
#include "service/varnel_server.h"
#include "service/watch_list_link.h"
#include "service/xml_buffer.h"

namespace engine {
namespace {

void LogCaught(const char* entry, const std::exception* error) {
    const std::string prefix = std::string("*** Error caught exception in ") + entry + ":";
    if (error) vnlog::Write(prefix, *error);
    else vnlog::Write(prefix + " in catch all block.");
}

// Runs `body`, logging anything it throws under the entry's name. True when
// it returned normally.
template <class Body>
bool Guarded(const char* entry, Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        LogCaught(entry, &e);
    } catch (...) {
        LogCaught(entry, nullptr);
    }
    return false;
}

// The interval between scheduled checks that the requests report.
uint32_t CheckInterval(const platform::Settings& settings) {
    return ScheduleIntervalSeconds(settings.ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault),
                                   settings.ReadNumber(setting::kCustomInterval, 0));
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Adds the time since its creation to a step's total when it goes.
class StepTimer {
public:
    explicit StepTimer(int64_t& total) : total_(total), start_(NowMs()) {}
    ~StepTimer() { total_ += NowMs() - start_; }
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;

private:
    int64_t& total_;
    int64_t start_;
};

const char* StatusWord(vnxml::ScanReportStatus status) {
    switch (status) {
        case vnxml::ScanReportStatus::InProgress: return "IN_PROGRESS";
        case vnxml::ScanReportStatus::Failed: return "FAILED";
        case vnxml::ScanReportStatus::Complete: return "COMPLETE";
    }
    return "?";
}

}  // namespace

const char* WorkerEntryName(WorkerEntry entry) {
    switch (entry) {
        case WorkerEntry::SearchAllMySoftware: return "SearchAllMySoftware";
        case WorkerEntry::SearchAllMySoftwareWUpdate: return "SearchAllMySoftwareWUpdate";
        case WorkerEntry::CheckForUpdates: return "CheckForUpdates";
        case WorkerEntry::SearchOpenApplications: return "SearchOpenApplications";
    }
    return "?";
}

VN_ScanEngine::VN_ScanEngine(VN_WatchList& watchList, Views::CDriverData& driverList)
    : VN_ScanEngine(watchList, driverList, EngineSystem()) {}

VN_ScanEngine::VN_ScanEngine(VN_WatchList& watchList, Views::CDriverData& driverList, IEngineSystem& system)
    : watch_(watchList), drivers_(driverList), system_(system) {}

int VN_ScanEngine::Run(WorkerEntry entry) {
    lastCheckFailed_ = false;
    switch (entry) {
        case WorkerEntry::SearchAllMySoftware: return SearchAllMySoftware();
        case WorkerEntry::SearchAllMySoftwareWUpdate: return SearchAllMySoftwareWUpdate();
        case WorkerEntry::CheckForUpdates: return CheckForUpdates();
        case WorkerEntry::SearchOpenApplications: return SearchOpenApplications();
    }
    return 0;
}

bool VN_ScanEngine::InventoryScan() {
    // The slow step (the installer's component scan) is allowed; the scan
    // mode decides whether it runs.
    return scanners::ScanInventory(watch_, platform::MainWindow(), platform::RegisterMessage(wmname::kUpdateItem),
                                   true);
}

int VN_ScanEngine::SearchAllMySoftware() {
    ThreadCom com(system_);
    Guarded("SearchAllMySoftware", [&] {
        PostSafeProgress(kPhaseStart, 0);
        PostSafeProgress(kPhaseScanning, 0);
        InventoryScan();
        watch_.SaveIfModified();
    });
    PostSafeProgress(kPhaseScanDone, 0);
    return 0;
}

int VN_ScanEngine::SearchOpenApplications() {
    ThreadCom com(system_);
    Guarded("SearchOpenApplications", [&] { scanners::VN_ProgramDiscovery(watch_).SearchOpenApplication(); });
    PostSafeProgress(kPhaseScanDone, 1);
    return 0;
}

int VN_ScanEngine::SearchAllMySoftwareWUpdate() {
    times_ = StepTimes();
    bool scanned = false;  // the inventory scan ran to its end
    {
        ThreadCom com(system_);
        bool endRun = false;
        Guarded("SearchAllMySoftwareWUpdate", [&] {
            SendClearSoftwareView();
            PostSafeProgress(kPhaseStart, 0);
            PostSafeProgress(kPhaseScanning, 0);
            platform::Settings& settings = platform::AppSettings();
            const bool firstRun = settings.ReadText(setting::kMachineId).empty();
            settings.DeleteValue(setting::kWelcomeUrl);
            bool preScanned = false;
            {
                StepTimer timer(times_.preScan);
                preScanned = PreScan();
            }
            if (preScanned) {
                const std::string welcome = settings.ReadText(setting::kWelcomeUrl);
                if (firstRun && !welcome.empty()) {
                    vnlog::Write("Opening the welcome page " + welcome);
                    system_.OpenUrl(welcome);
                } else if (installClientUpdateNow && installClientUpdateNow()) {
                    vnlog::Write("An agent update is being offered or installed; this run ends without a scan");
                    endRun = true;
                    return;
                }
            }
            {
                StepTimer timer(times_.inventory);
                scanned = InventoryScan();
            }
            {
                inventory::ContentLock::Write hold(watch_.ItemLock());
                watch_.SyncGroupVars();
            }
            watch_.SaveIfModified();
        });
        if (endRun) return 0;
        PostSafeProgress(kPhaseScanDone, 0);
    }
    if (scanned) CheckForUpdates();
    vnlog::Write("Pass times: pre-scan " + std::to_string(times_.preScan) + " ms, inventory " +
                 std::to_string(times_.inventory) + " ms, version refresh " + std::to_string(times_.versionRefresh) +
                 " ms, exchange " + std::to_string(times_.exchange) + " ms, report polling " +
                 std::to_string(times_.reportPolling) + " ms");
    return 0;
}

bool VN_ScanEngine::PreScan() {
    bool result = false;
    const bool ran = Guarded("CheckForUpdates", [&] {
        vnxml::CVarnelServer server(&watch_, &drivers_);
        platform::Settings& settings = platform::AppSettings();
        if (!system_.IsConnected() || watch_.IsStopRequested() ||
            settings.ReadNumber(setting::kSkipExclusionList, setting::kExclusionListModeDefault) == 1) {
            result = false;
            return;
        }
        watch_.SetLoginError(std::string());
        vnxml::CXMLBuffer buffer(&watch_, &drivers_, vnxml::kPreScanRequest);
        // The user's choice about the system profile holds for every request.
        buffer.profile.SetCollect(settings.ReadFlag(setting::kIncludeSysInfo, setting::kIncludeSysInfoDefault));
        buffer.checkIntervalSeconds = CheckInterval(settings);
        vnlog::Write("Start checking for exclusions");
        buffer.authentication.exclusionListDate = PreScanExclusionListDate(watch_.GetExclusionDate());
        ClearPreScanSettings();
        const bool sent = server.Send(buffer, nullptr);
        if (watch_.IsStopRequested()) return;  // no closing line for a stopped pre-scan
        if (sent) result = StorePreScanStatus(buffer.status);
        vnlog::Write("End PreScan");
    });
    if (!ran) vnlog::Write("End PreScan");
    return result;
}

int VN_ScanEngine::CheckForUpdates() {
    ThreadCom com(system_);
    lastCheckFailed_ = false;
    if (!Guarded("CheckForUpdates", [&] { RunCheck(); })) {
        lastCheckFailed_ = true;
        PostSafeProgress(kPhaseCheckDone, 1);
    }
    return 0;
}

void VN_ScanEngine::RunCheck() {
    if (watch_.IsStopRequested()) return;
    vnxml::CVarnelServer server(&watch_, &drivers_);
    if (!system_.IsConnected()) {
        vnlog::Write("Not connected: no check");
        lastCheckFailed_ = true;
        PostSafeUpdateComplete(0, 0);
        return;
    }
    PostStartDailyUpdates();
    PostSafeProgress(kPhaseStart, 1);
    PostSafeProgress(kPhaseItemVersions, 1);
    bool refreshStopped = false;
    {
        StepTimer timer(times_.versionRefresh);
        refreshStopped = scanners::RefreshInstalledVersions(watch_);
    }
    if (refreshStopped) {
        PostSafeProgress(kPhaseCheckDone, 1);
        return;
    }
    PostSafeProgress(kPhasePrepare, 1);
    // The drivers travel in the same request, so they are searched here, on
    // the worker, before the document is written.
    const bool searchDrivers = platform::AppSettings().ReadFlag(setting::kScanDevices, true);
    if (searchDrivers) PostStartDriverSearch();
    // Drivers not found again are deleted by the main window (none may be
    // drawing them there); without one, no view exists and they go here.
    if (scanners::SearchDriversIfEnabled(drivers_) && !SendEndDriverSearch()) drivers_.DeleteGoneDrivers();

    platform::Settings& settings = platform::AppSettings();
    watch_.SetLoginError(std::string());
    vnxml::CXMLBuffer buffer(&watch_, &drivers_, vnxml::kCheckRequest);
    vnxml::CWatchListLink link(watch_);
    buffer.watchListLink = &link;
    buffer.progress = [](int phase, int mark) { PostSafeProgress(phase, mark); };
    buffer.profile.nextScheduledScan = nextScheduledScan ? nextScheduledScan() : 0;
    buffer.profile.SetCollect(settings.ReadFlag(setting::kIncludeSysInfo, setting::kIncludeSysInfoDefault));
    buffer.scanId = settings.ReadText(setting::kScanId);
    buffer.checkIntervalSeconds = CheckInterval(settings);
    vnlog::Write("Start checking for updates");

    bool sent = false;
    {
        StepTimer timer(times_.exchange);
        sent = server.Send(buffer, platform::MainWindow());
    }
    // The request computed the program files' digests: the next pass reads
    // them from the file cache instead of the files.
    scanners::SaveFileCacheAfterCheck();
    // A stopped run ends silently: no phase, no notice.
    if (watch_.IsStopRequested()) return;
    if (!sent) lastCheckFailed_ = true;
    if (sent) {
        const vnxml::CXMLStatus& status = buffer.status;
        if (status.IsSuccess()) {
            const std::string home = !status.loginEmailError.empty() ? status.loginEmailError : status.homepage;
            if (!home.empty()) settings.WriteText(setting::kHomePageUrl, home);
            if (!status.helpage.empty()) settings.WriteText(setting::kHelpPageUrl, status.helpage);
            {
                inventory::ContentLock::Write hold(watch_.ItemLock());
                watch_.CombineItems();
                watch_.CombineByMatchedPvId();
                watch_.SyncGroupVars();
                watch_.ExpandSuites();
            }
            if (buffer.notifyFlag) {
                watch_.Save();
                drivers_.Save();
                int notify = 0;
                {
                    StepTimer timer(times_.reportPolling);
                    notify = PollScanReport();
                }
                if (notify < 0) return;
                PostSafeUpdateComplete(notify, 1);
            } else {
                vnlog::Write("The reply changed no item's out-of-date state: no completion notice");
            }
        } else {
            platform::PostSafeMessage(status.loginError);
            platform::PostSafeMessage(status.loginEmailError);
            platform::PostSafeMessage(status.message);
            if (!status.loginError.empty()) {
                watch_.SetLoginError(status.loginError);
            } else if (!status.loginEmailError.empty()) {
                watch_.SetLoginError(status.message);
                settings.WriteText(setting::kHomePageUrl, status.loginEmailError);
            }
            // An account the service refused stays refused until the user acts.
            lastCheckFailed_ = status.loginError.empty() && status.loginEmailError.empty();
            PostSafeUpdateComplete(0, 0);
        }
        ClearSentReports();
    }
    vnlog::Write("  End checking for updates");
    PostSafeProgress(kPhaseCheckDone, 1);
}

int VN_ScanEngine::PollScanReport() {
    vnxml::IScanReportService* reports = vnxml::ScanReportService();
    if (!reports) {
        vnlog::Write("No scan-report service: the report is not asked for");
        return 0;
    }
    bool complete = false;
    for (int attempt = 1;; ++attempt) {
        vnxml::ScanReportStatus status = vnxml::ScanReportStatus::InProgress;
        const bool read = reports->GetScanReport(status);
        vnlog::Write("Scan report, try " + std::to_string(attempt) + ": " + (read ? StatusWord(status) : "failed"));
        if (read && status == vnxml::ScanReportStatus::Complete) {
            complete = true;
            break;
        }
        // The pause ends early when the run is stopped: the lists are saved
        // already, and nobody waits for a notice of a stopped run.
        if (watch_.WaitForStop(std::chrono::milliseconds(reportPollIntervalMs))) return -1;
        if (!read || attempt == kReportPollTries) break;
    }
    if (!complete) return 0;
    const bool listed = reports->RequestOutOfDateList(true);
    if (watch_.IsStopRequested()) return -1;
    const int count = listed ? reports->OutOfDateCount() : 0;
    vnlog::Write(listed ? "Out-of-date list: " + std::to_string(count) + " products"
                        : std::string("Out-of-date list: the request failed"));
    return listed && count > 0 ? 1 : 0;
}

void VN_ScanEngine::ClearSentReports() {
    const auto clearIn = [](VN_ListBase& list) {
        bool cleared = false;
        {
            inventory::ContentLock::Write hold(list.ItemLock());
            for (VN_ItemGrandBase* entry : list.Snapshot()) {
                auto* item = dynamic_cast<VN_UpdatedItem*>(entry);
                if (!item || (item->reportComments.empty() && item->reportReason == 0)) continue;
                item->reportComments.clear();
                item->reportReason = 0;
                cleared = true;
            }
        }
        if (cleared) list.Save();
    };
    clearIn(watch_);
    clearIn(drivers_);
}

}  // namespace engine
