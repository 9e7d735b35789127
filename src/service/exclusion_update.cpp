#include "service/exclusion_update.h"

#include <cmath>

#include "inventory/config_parser.h"
#include "inventory/watch_list.h"
#include "platform/folders.h"
#include "platform/message_reporter.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace vnxml {
namespace {

// "Successfully created new exclusion list at location:\n%s"
constexpr int kExclusionListSavedTextId = 143;

// An OLE automation date as a position on one time line: before the epoch the
// whole days count backwards but the time of day still counts forwards
// (-1.25 is 29 December 1899, 06:00, i.e. -0.75 days).
double Linear(double date) {
    if (date >= 0) return date;
    const double days = std::trunc(date);
    return days + (days - date);
}

}  // namespace

long long WholeDayDifference(double newer, double older) {
    return static_cast<long long>(std::ceil(Linear(newer))) - static_cast<long long>(std::ceil(Linear(older)));
}

bool IsNewerExclusionList(const std::string& replyDate, const std::string& storedDate, bool force) {
    const std::optional<double> offered = ParseUserDate(replyDate);
    if (!offered) return false;
    double held = 0;  // the zero date
    if (!force)
        if (const std::optional<double> stored = ParseUserDate(storedDate)) held = *stored;
    return WholeDayDifference(*offered, held) > 0;
}

std::string ExclusionListPath() { return platform::DataFolder() + "\\" + inventory::kExclusionsFileName; }

ExclusionUpdate UpdateExclusionList(const StatusFields& status, std::string_view reply, VN_WatchList& watchList) {
    if (!status.IsSuccess() || status.exclusionRevDate.empty()) return ExclusionUpdate::NotOffered;
    const bool force = platform::AppSettings().ReadNumber(setting::kForceExclusionList,
                                                          setting::kExclusionListModeDefault) != 0;
    if (!IsNewerExclusionList(status.exclusionRevDate, watchList.GetExclusionDate(), force))
        return ExclusionUpdate::NotNewer;

    const std::string path = ExclusionListPath();
    if (watchList.SaveExclusionList(reply, path) != 0) return ExclusionUpdate::SaveFailed;
    platform::ReportMessage(textutil::Format(platform::LoadText(kExclusionListSavedTextId).c_str(), path.c_str()),
                            platform::kMbIconInformation);
    watchList.LoadExclusions();
    return ExclusionUpdate::Saved;
}

}  // namespace vnxml
