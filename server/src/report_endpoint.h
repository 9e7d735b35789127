// The REST report interface the agent polls after a check:
//
//   GET /rest/v1.0/getScanReport?scanId=ID
//     <ZeltoResponse><ScanReport> with the scan's Status (IN_PROGRESS until its
//     items are processed, then COMPLETE), its counts and its Machine (with
//     UrsId, empty unless the operator linked the machine to a user).
//   GET /rest/v1.0/installed/outOfDateReport?machineId=ID
//     <ZeltoResponse><InstalledProductReport> with the recognised programs of
//     the machine's latest processed scan, each a Product with outOfDate
//     "true" or "false", its Installed and Current name and version; and a
//     ursId child when the machine is linked to a user.
//
// An unknown or malformed identifier gets 404 with a one-line reason. The
// out-of-date list is built from the same store query as the machine page.
#pragma once

#include <string>

#include "service_store.h"
#include "update_service.h"

namespace vnservice {

inline constexpr char kScanReportPath[] = "/rest/v1.0/getScanReport";
inline constexpr char kOutOfDateReportPath[] = "/rest/v1.0/installed/outOfDateReport";

class ReportEndpoint : public Endpoint {
public:
    ReportEndpoint(ServiceStore& store, Logger log);
    void Mount(httplib::Server& server) override;

    // The documents; nothing for an unknown identifier.
    std::optional<std::string> ScanReport(const std::string& scanId);
    std::optional<std::string> OutOfDateReport(const std::string& machineId);

private:
    ServiceStore& store_;
    Logger log_;
};

}  // namespace vnservice
