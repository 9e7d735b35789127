// Marks a downloaded file as coming from the internet, so that Windows asks
// before running it, its reputation check (SmartScreen) sees it and the
// antivirus program scans it: through the attachment services when they are
// there (they save the mark and run the scan), otherwise by writing the
// file's "Zone.Identifier" stream ourselves.
#pragma once

#include <string>

namespace dlmgr {

enum class InternetMark {
    kAttachmentServices,  // the attachment services saved the mark
    kZoneStream,          // we wrote "<file>:Zone.Identifier"
    kFileGone,            // the file was not there (or was removed by the scan)
    kFailed,              // neither way worked
};

struct InternetMarkResult {
    InternetMark how = InternetMark::kFailed;
    std::string detail;  // why the attachment services were not used, or what failed
};

// Marks `path`, downloaded from `url`. Never throws; COM is initialised for
// the call on the calling thread.
InternetMarkResult MarkFromInternet(const std::string& path, const std::string& url);

// The text of the result, for the log.
std::string DescribeInternetMark(const std::string& path, const InternetMarkResult& result);

}  // namespace dlmgr
