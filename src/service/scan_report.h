// The scan report and out-of-date list service as its users see it: the
// engine polls the report of its last scan, the tray asks for the machine's
// out-of-date products. One service is installed for the process.
#pragma once

#include <string>
#include <vector>

namespace vnxml {

enum class ScanReportStatus { InProgress = 0, Failed = 1, Complete = 2 };

class IScanReportService {
public:
    virtual ~IScanReportService() = default;
    virtual bool GetScanReport(ScanReportStatus& status) = 0;  // false on failure or unknown status
    virtual bool RequestOutOfDateList(bool forced) = 0;        // true when the list is fresh after the call
    virtual void CopyOutOfDateNames(std::vector<std::string>& names) const = 0;
    virtual int OutOfDateCount() const = 0;
    virtual bool UserReportFlag() const = 0;
};

void InstallScanReportService(IScanReportService* service);  // not owned; null removes it
IScanReportService* ScanReportService();                     // null when none is installed

}  // namespace vnxml
