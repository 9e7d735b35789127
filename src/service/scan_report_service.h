// The client of the service's REST reports: the scan report of the machine's
// last scan, and the list of its installed products that are out of date.
//
// The list is fetched by one background thread, at most once per cache
// period, and kept in "outdatedproductlist.db" in the data folder across
// runs. The thread is started by the first request and ends when no request
// has come for a while (`lingerMs`); the next request starts it again. An
// agent idle in the tray then keeps no thread for it, and with it no stack
// and no request object. A request and a scan report never run at the same time: both take the
// "done" state (false while one runs). The names, the last fetch time and the
// file are touched only under the list lock; callers of RequestOutOfDateList
// are serialised by the request lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "service/rest_session.h"
#include "service/scan_report.h"

namespace platform {
class Settings;
}

namespace vnxml {

// XPaths of the replies.
namespace rest_path {
inline constexpr char kScanStatus[] = "/ZeltoResponse/ScanReport/Status/text()";
inline constexpr char kScanUrsId[] = "/ZeltoResponse/ScanReport/Machine/UrsId/text()";
inline constexpr char kProductReport[] = "/ZeltoResponse/InstalledProductReport";
inline constexpr char kOutOfDateNames[] =
    "/ZeltoResponse/InstalledProductReport/Software/Product[@outOfDate='true']/Current/Name/text()";
inline constexpr char kUrsIdElement[] = "ursId";
}  // namespace rest_path

enum class RestReport { OutOfDateList, ScanReport };

// The address of a report: the base address, "/" unless it ends with one,
// then "rest/v1.0/installed/outOfDateReport?machineId=" + `key` (the
// "Machine ID") or "rest/v1.0/getScanReport?scanId=" + `key` (the "Scan
// ID"). Empty when the base or the key is empty.
std::string ComposeReportAddress(const std::string& base, RestReport report, const std::string& key);

// "IN_PROGRESS", "FAILED" or "COMPLETE"; false for any other text.
bool ParseScanReportStatus(const std::string& text, ScanReportStatus& status);

// The user-report flag a list reply sets: true when a child of the product
// report named "ursId" has a non-empty value.
bool UserReportFromChildren(const std::vector<RestChild>& children);

struct ScanReportOptions {
    std::string baseAddress;     // "IpapiLink URL"
    std::string listFile;        // the data folder + "\outdatedproductlist.db"; empty: none kept
    uint32_t cacheSeconds = 30;  // "Product Menu Cache Time"
    uint32_t timeoutMs = 2000;   // "IPAPI TimeOut"
    uint32_t delayMs = 0;        // "IPAPI Delay"
    // How long the fetch thread waits for the next request before it ends.
    // Starting one costs far less than a request; the wait spares it only
    // when the tray menu is opened several times in a row.
    uint32_t lingerMs = 5'000;
};

// The options from the settings and the data folder.
ScanReportOptions ReadScanReportOptions(platform::Settings& settings, const std::string& dataFolder);

class CScanReportService final : public IScanReportService {
public:
    using Clock = std::function<int64_t()>;  // seconds since 1970

    // Requests go through sessions from `sessions`; "Machine ID" and "Scan
    // ID" are read from the process's settings at each request.
    explicit CScanReportService(std::shared_ptr<IRestSessionFactory> sessions, Clock clock = nullptr);
    ~CScanReportService() override;
    CScanReportService(const CScanReportService&) = delete;
    CScanReportService& operator=(const CScanReportService&) = delete;

    // Loads the list file (when it exists); the fetch thread starts with the
    // first request. False when the service already ran.
    bool Start(const ScanReportOptions& options);
    // Asks the fetch thread, when one runs, to end and waits up to `wait`
    // for it. A fetch
    // that is still in its request then is left to finish on its own (it
    // writes nothing more); false in that case. Requests after Stop fail.
    bool Stop(std::chrono::milliseconds wait = std::chrono::milliseconds(3000));

    bool GetScanReport(ScanReportStatus& status) override;
    bool RequestOutOfDateList(bool forced) override;
    void CopyOutOfDateNames(std::vector<std::string>& names) const override;
    int OutOfDateCount() const override;
    bool UserReportFlag() const override;

    // Whether a fetch thread runs now (it ends after `lingerMs` without work).
    bool FetchThreadRunning() const;

    struct State;  // shared with the fetch thread, which may outlive a Stop

private:
    std::shared_ptr<State> state_;
    bool started_ = false;
};

}  // namespace vnxml
