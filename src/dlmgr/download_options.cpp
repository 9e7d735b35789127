#include "dlmgr/download_options.h"

#include <algorithm>

#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace dlmgr {
namespace {

uint32_t Clamp(uint32_t retries) { return std::clamp(retries, kMinDownloadRetries, kMaxDownloadRetries); }

}  // namespace

uint32_t DownloadRetries() {
    return Clamp(platform::AppSettings().ReadNumber(setting::kDownloadRetries, setting::kDownloadRetriesDefault));
}

DownloadOptions DownloadOptions::Stored() {
    DownloadOptions o;
    o.folder = platform::DownloadFolder();
    o.retries = DownloadRetries();
    return o;
}

bool DownloadOptions::DiffersFrom(const DownloadOptions& other) const {
    return !textutil::EqualsNoCase(folder, other.folder) || retries != other.retries;
}

bool DownloadOptions::Store() const {
    platform::Settings& s = platform::AppSettings();
    const bool folderStored = s.WriteText(setting::kDownloadFolder, folder);
    return s.WriteNumber(setting::kDownloadRetries, Clamp(retries)) && folderStored;
}

}  // namespace dlmgr
