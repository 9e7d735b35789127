#include "views/item_feedback.h"

#include "inventory/guid_item.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace Submit {

namespace {
constexpr int kFirstReason = 178;
constexpr int kLastReason = 189;
}  // namespace

std::vector<int> ReportReasonIds(const VN_UpdatedItem& item) {
    if (item.IsDriver())
        return {kReasonClickToSelect, kReasonDriverUpdateFailed, kReasonDriverListedWrong, kReasonOther};
    return {kReasonClickToSelect,  kReasonMyVersionWrong, kReasonMyVersionNewer, kReasonCurrentWrong,
            kReasonCurrentMissing, kReasonNameWrong,      kReasonNotTracked,     kReasonOther};
}

std::string ReportCaption(const VN_UpdatedItem& item) {
    return item.IsDriver() ? "Report Drivers" : "Report an Incorrect Item";
}

std::string ReportExplanation(const VN_UpdatedItem& item) {
    if (item.IsDriver()) return platform::LoadText(kDriverExplanation);
    return "Tell us what is wrong with this program's information. Your report helps us keep the software list "
           "correct.";
}

std::string ReportRefusal(int selection, const std::string& reason, const std::string& comments) {
    if (selection <= 0) return kNoReasonRefusal;
    if (textutil::EqualsNoCase(reason, platform::LoadText(kReasonOther)) && comments.empty()) return kNoCommentsRefusal;
    return std::string();
}

int ReasonCode(const std::string& reason) {
    for (int id = kFirstReason; id <= kLastReason; ++id)
        if (textutil::EqualsNoCase(platform::LoadText(id), reason)) return id;
    return 0;
}

std::string ReportOutcomeText(ReportOutcome outcome) {
    if (outcome == ReportOutcome::Sent) return "Thank you. Your report has been sent.";
    return "The report could not be sent now. It is kept and goes out with your next check for updates.";
}

}  // namespace Submit
