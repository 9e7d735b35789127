// The scan service proper: answers one scan document with the reply the agent
// expects, and keeps what the machine sent.
//
// A pre-scan request (no software.scanned) registers the machine when it has
// no identifier yet (or one the service does not know), opens a scan, and
// answers with the scan identifier, the exclusion list, a welcome page for a
// newly registered machine and, when the catalogue holds a newer agent, the
// agent update. A check request stores every item under the scan and answers
// one `update` record per recognised item. A machine that the operator has
// blocked is refused with a non-zero status code and a login error.
#pragma once

#include <string>

#include "scan_request.h"
#include "service_store.h"
#include "xml_writer.h"

namespace vnservice {

// Status codes of the reply's `code` element: "0" is success, anything else a refusal.
inline constexpr char kStatusOk[] = "0";
inline constexpr char kStatusRefused[] = "2";

inline constexpr size_t kMaxIconBytes = 256 * 1024;

struct ScanOutcome {
    std::string reply;  // the XML document
    bool check = false;
    bool refused = false;
    bool newMachine = false;
    std::string machineId, scanId;
    std::string homepage;  // the machine page's address given with a check
    ScanCounts counts;
};

class ScanService {
public:
    // publicUrl: the address agents reach this service at ("http://127.0.0.1:8080");
    // relative page and download addresses of the catalogue are made absolute with it.
    ScanService(ServiceStore& store, std::string publicUrl);

    // Takes the store's lock for the whole request; throws StoreError when the
    // database fails (nothing of the request is kept then).
    ScanOutcome Handle(const ScanRequest& request);

    // Checked scans stay in progress this long before their report is ready.
    void SetReportDelay(int64_t ms) { reportDelayMs_ = ms; }

private:
    void KeepMachineData(const ScanRequest& request, const std::string& machineId, const std::string& now);
    void WritePreScanStatus(XmlWriter& xml, const ScanRequest& request, const std::string& machineId,
                            bool newMachine);
    void WriteCheckStatus(XmlWriter& xml, const std::string& machineId, ScanOutcome& outcome);
    void AnswerItems(XmlWriter& xml, const ScanRequest& request, ScanOutcome& outcome, const std::string& now);
    void WriteUpdate(XmlWriter& xml, const StoredItem& item, const Product& product, bool needsIcon,
                     const std::string& machineId) const;
    std::string NewId();
    std::string Absolute(const std::string& url, const std::string& machineId) const;

    ServiceStore& store_;
    std::string publicUrl_;
    int64_t reportDelayMs_ = 0;
};

// True for an identifier the service could have issued: 1 to 64 letters,
// digits and dashes. Anything else is treated as no identifier at all.
bool IsPlausibleId(const std::string& id);

// A page or download address of the catalogue as handed out: "{machineId}"
// and "{token}" (the machine page's token) replaced, and a relative address
// made absolute with the service's public address (no trailing slash).
std::string ExpandAddress(const std::string& publicUrl, const std::string& url, const std::string& machineId,
                          const std::string& token);

// Base64 (RFC 4648, white space ignored); nothing when the text is not Base64.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace vnservice
