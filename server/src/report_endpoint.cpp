#include "report_endpoint.h"

#include <httplib.h>

#include "scan_service.h"
#include "xml_writer.h"

namespace vnservice {
namespace {

void NotFound(httplib::Response& res, const std::string& text) {
    res.status = 404;
    res.set_content(text + "\n", "text/plain");
}

void SendXml(httplib::Response& res, const std::string& xml) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(xml, "text/xml");
}

}  // namespace

ReportEndpoint::ReportEndpoint(ServiceStore& store, Logger log) : store_(store), log_(std::move(log)) {}

void ReportEndpoint::Mount(httplib::Server& server) {
    server.Get(kScanReportPath, [this](const httplib::Request& req, httplib::Response& res) {
        const std::string id = req.get_param_value("scanId");
        const auto xml = ScanReport(id);
        if (log_) log_("report: scan " + (IsPlausibleId(id) ? id : std::string("(malformed)")) + (xml ? "" : " unknown"));
        if (!xml) return NotFound(res, "no scan with that scanId");
        SendXml(res, *xml);
    });
    server.Get(kOutOfDateReportPath, [this](const httplib::Request& req, httplib::Response& res) {
        const std::string id = req.get_param_value("machineId");
        const auto xml = OutOfDateReport(id);
        if (log_)
            log_("report: out-of-date list of " + (IsPlausibleId(id) ? id : std::string("(malformed)")) +
                 (xml ? "" : " unknown"));
        if (!xml) return NotFound(res, "no machine with that machineId");
        SendXml(res, *xml);
    });
}

std::optional<std::string> ReportEndpoint::ScanReport(const std::string& scanId) {
    if (!IsPlausibleId(scanId)) return std::nullopt;
    auto lock = store_.Lock();
    store_.FinishDueScans(NowMs());
    const auto scan = store_.FindScan(scanId);
    if (!scan) return std::nullopt;
    const auto machine = store_.LatestReport(scan->machineId);
    lock.unlock();

    XmlWriter xml;
    xml.Open("ZeltoResponse");
    xml.Open("ScanReport");
    xml.Leaf("ScanId", scan->id);
    xml.Leaf("Status", scan->status);
    xml.Leaf("Created", scan->created);
    xml.Leaf("Checked", scan->checked);
    xml.Empty("Counts", {{"items", std::to_string(scan->items)},
                         {"recognised", std::to_string(scan->recognised)},
                         {"outOfDate", std::to_string(scan->outdated)}});
    xml.Open("Machine");
    xml.Leaf("MachineId", scan->machineId);
    xml.Leaf("UrsId", machine ? machine->ursId : std::string());
    xml.Close();
    return xml.Finish();
}

std::optional<std::string> ReportEndpoint::OutOfDateReport(const std::string& machineId) {
    if (!IsPlausibleId(machineId)) return std::nullopt;
    auto lock = store_.Lock();
    store_.FinishDueScans(NowMs());
    const auto report = store_.LatestReport(machineId);
    lock.unlock();
    if (!report) return std::nullopt;

    XmlWriter xml;
    xml.Open("ZeltoResponse");
    xml.Open("InstalledProductReport");
    xml.Leaf("MachineId", report->machineId);
    if (!report->ursId.empty()) xml.Leaf("ursId", report->ursId);
    if (report->scan) {
        xml.Leaf("ScanId", report->scan->id);
        xml.Leaf("Checked", report->scan->checked);
    }
    xml.Open("Software", {{"outOfDateCount", std::to_string(report->OutdatedCount())}});
    for (const ReportEntry& e : report->products) {
        xml.Open("Product", {{"outOfDate", e.outdated ? "true" : "false"}, {"productId", std::to_string(e.productId)}});
        xml.Open("Installed");
        xml.Leaf("Name", e.installedName);
        xml.Leaf("Version", e.installedVersion);
        xml.Close();
        xml.Open("Current");
        xml.Leaf("Name", e.name);
        xml.Leaf("Version", e.currentVersion);
        xml.Leaf("ReleaseDate", e.releaseDate);
        xml.Leaf("Publisher", e.publisher);
        xml.Close();
        xml.Close();
    }
    return xml.Finish();
}

}  // namespace vnservice
