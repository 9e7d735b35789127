// Whether a reply's exclusion list replaces the one the agent has, and the
// replacement itself. The service sends its list with a revision date
// (`revDate` of the reply's `exclusion` element); the agent keeps the date of
// the list it loaded. Both are read as dates of the user's locale, each
// rounded up to the next whole day, and the reply's list is saved as
// "exclusions.xml" in the data folder when it is at least one day newer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "service/xml_records.h"

class VN_WatchList;

namespace vnxml {

// A date text read as the user's locale reads it, as an OLE automation date
// (days since 30 December 1899, the time of day as the fraction); nothing
// when the text is not a date. Windows asks the OLE automation parser with
// the user's default locale; the host reads "yyyy-mm-dd" and "m/d/yyyy",
// each optionally followed by a time "hh:mm" or "hh:mm:ss" (after a blank,
// or a "T" after an ISO date).
std::optional<double> ParseUserDate(const std::string& text);

// The number of days from `older` to `newer` (both OLE automation dates),
// each first rounded up to the next whole day.
long long WholeDayDifference(double newer, double older);

// Whether a list dated `replyDate` replaces the list dated `storedDate`.
// `force` ("Force Exclusion List" not 0) compares against the zero date
// instead of the stored one. A stored date that is empty (no list loaded) or
// cannot be read counts as the zero date too, so that the service can always
// replace a list whose date is unknown. A reply date that cannot be read
// replaces nothing: nothing is known about that list's age.
bool IsNewerExclusionList(const std::string& replyDate, const std::string& storedDate, bool force);

// What the exclusion-list step of an exchange did.
enum class ExclusionUpdate {
    NotOffered,  // refused reply, or no `revDate` in it
    NotNewer,    // the reply's list is not newer (or its date unreadable)
    Saved,       // "exclusions.xml" replaced, reported and reloaded
    SaveFailed,  // the list could not be saved; the old file stays
};

// After a reply: when its status code is "0" and its `exclusion` element had
// a `revDate` newer than the watch list's exclusion date (see
// IsNewerExclusionList; "Force Exclusion List" is read here), saves the
// reply's list to the data folder's "exclusions.xml", reports string 143
// with the path through the message reporter and makes the watch list load
// it.
ExclusionUpdate UpdateExclusionList(const StatusFields& status, std::string_view reply, VN_WatchList& watchList);

// Data Folder + "\exclusions.xml".
std::string ExclusionListPath();

}  // namespace vnxml
