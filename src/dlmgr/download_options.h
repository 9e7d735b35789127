// The settings of the "Download" options page: the download folder
// ("Varnel Download Folder") and the number of tries of a failing download
// ("Download Retries", 1 to 9). The page itself belongs to the settings
// sheet; it reads, compares and stores through this.
#pragma once

#include <cstdint>
#include <string>

namespace dlmgr {

inline constexpr char kBrowseDownloadFolderPrompt[] = "Browse for Download Destination Folder:";
inline constexpr uint32_t kMinDownloadRetries = 1;
inline constexpr uint32_t kMaxDownloadRetries = 9;

struct DownloadOptions {
    std::string folder;
    uint32_t retries = 1;

    // The stored values (the folder as the program's folders give it).
    static DownloadOptions Stored();
    // Modified: another folder (case ignored) or another count.
    bool DiffersFrom(const DownloadOptions& other) const;
    // Stores both; the count is kept within 1 to 9. False when a write failed.
    bool Store() const;
};

// "Download Retries" as the queue uses it: a stored value outside 1 to 9 is
// brought into that range (0 would cancel every queued download untried).
uint32_t DownloadRetries();

}  // namespace dlmgr
