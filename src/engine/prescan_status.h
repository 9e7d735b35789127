// The pre-scan's use of the service's answer. Before the exchange the
// request's exclusion-list date is chosen and "Welcome URL" and "Scan ID"
// are cleared; after it, a successful status stores the scan identifier, the
// welcome page and the agent-update offer that the rest of the pass and the
// next requests rely on.
#pragma once

#include <string>

#include "service/xml_records.h"

namespace engine {

// The exclusion-list date the pre-scan request carries: the loaded list's
// date, or none when "Force Exclusion List" is not 0; no date is sent as
// "2001-01-01", which is older than any list of the service.
std::string PreScanExclusionListDate(const std::string& loadedListDate);
inline constexpr char kNoExclusionListDate[] = "2001-01-01";

// Before the pre-scan exchange: deletes "Welcome URL" and stores "Scan ID"
// empty, so that a failed exchange leaves neither from an earlier pass.
void ClearPreScanSettings();

// After the pre-scan exchange. With status code "0": stores `scanid` as
// "Scan ID" and `progresspage` as "Welcome URL" when they are not empty;
// stores `clientupdate` as "ClientUpdate URL" and its `version` as
// "ClientUpdate Version", deleting each value that the reply left empty; and
// answers true. Any other code changes nothing and answers false.
bool StorePreScanStatus(const vnxml::StatusFields& status);

}  // namespace engine
