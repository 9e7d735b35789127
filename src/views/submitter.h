// Submit::CSubmitter: sends one report of a wrongly identified item at once
// (TaskService.submit) with the reason and comments the user gave in the
// report dialog, the machine's identity and the item's own members. When the
// call returns, the report is done and the item's reason and comments are
// cleared; when it fails they stay in the item, and the next scan document
// carries them in the item's `submission` element.
#pragma once

#include <string>

#include "XmlRpc.h"
#include "inventory/guid_item.h"

namespace Submit {

// The client version the reports carry as `mxproClient`.
inline constexpr char kReportClientVersion[] = "1.3.1.55";
// The service keeps a signature in a field of 255 characters.
inline constexpr size_t kMaxReportSignature = 255;

// The members an item adds to its report: a software item its package name,
// versions, digests and installed-product entry; a driver its device and
// driver texts and hardware identifiers.
void AddItemMembers(const VN_UpdatedItem& item, XmlRpc::XmlRpcValue& members);

class CSubmitter {
public:
    // The whole report's members (without sending it).
    static XmlRpc::XmlRpcValue ReportMembers(const VN_UpdatedItem& item, const std::string& reason,
                                             const std::string& comments);
    // Sends the report; true when the call reached the service and returned.
    bool Execute(VN_UpdatedItem& item, const std::string& reason, const std::string& comments);
};

}  // namespace Submit
