// What the report dialog (CItemFeedbackDlg) decides, apart from its window:
// the reasons an item offers, the dialog's caption and explanation for it,
// the refusals of an incomplete report, the reason code stored in the item,
// and the text that tells the user how the report went.
#pragma once

#include <string>
#include <vector>

class VN_UpdatedItem;

namespace Submit {

// String-table entries of the reasons.
inline constexpr int kReasonMyVersionWrong = 178;
inline constexpr int kReasonMyVersionNewer = 179;
inline constexpr int kReasonOther = 180;
inline constexpr int kReasonCurrentWrong = 181;
inline constexpr int kReasonCurrentMissing = 182;
inline constexpr int kReasonNameWrong = 183;
inline constexpr int kReasonNotTracked = 184;
inline constexpr int kReasonDriverUpdateFailed = 186;
inline constexpr int kReasonDriverListedWrong = 187;
inline constexpr int kReasonClickToSelect = 189;
inline constexpr int kDriverExplanation = 173;

inline constexpr char kRefusalTitle[] = "Warning";
inline constexpr char kNoReasonRefusal[] = "You must select a reason.";
inline constexpr char kNoCommentsRefusal[] = "You must enter some comments if Reason is Other.";

// The reasons the item offers, as string-table entries in list order. The
// first is always "Click to select", which is no reason. Software items offer
// the software reasons, drivers the driver reasons; both end with "Other".
// The separator lines of the string table are not offered: a list box would
// let the user pick one as a reason.
std::vector<int> ReportReasonIds(const VN_UpdatedItem& item);

// The dialog's caption and explanation for the item ("Report Drivers" and
// string 173 for a driver).
std::string ReportCaption(const VN_UpdatedItem& item);
std::string ReportExplanation(const VN_UpdatedItem& item);

// Why the report cannot go as given: the reason list's selection (0 is its
// first entry), the chosen reason's text and the comments. Empty when it may.
std::string ReportRefusal(int selection, const std::string& reason, const std::string& comments);

// The string-table entry whose text is the reason, ignoring case; 0 for none.
int ReasonCode(const std::string& reason);

// How the report went, for the user: sent, or kept for the next check.
enum class ReportOutcome { Sent, Kept };
std::string ReportOutcomeText(ReportOutcome outcome);

}  // namespace Submit
