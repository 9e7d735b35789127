#include "service/scan_report.h"

#include <atomic>

namespace vnxml {
namespace {
std::atomic<IScanReportService*> g_service{nullptr};
}  // namespace

void InstallScanReportService(IScanReportService* service) { g_service.store(service); }

IScanReportService* ScanReportService() { return g_service.load(); }

}  // namespace vnxml
