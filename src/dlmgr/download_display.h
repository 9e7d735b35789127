// What the download manager window shows for an item: transfer rate, time
// remaining, percentage, the detail texts and which buttons are on. No
// Windows call here; the byte-size text comes from the platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dlmgr/download_item.h"

namespace dlmgr {

// Bytes per second since the start: whole seconds elapsed, at least one.
uint64_t TransferRate(uint64_t received, int64_t started, int64_t now);
// Seconds left at `rate`; nothing when the rate is 0.
std::optional<uint64_t> SecondsRemaining(uint64_t total, uint64_t received, uint64_t rate);
// "H hour MM minute SS second"; the hours are all hours left, never wrapped
// at a day.
std::string FormatTimeRemaining(uint64_t seconds);

// The shell's byte-size text ("1.50 MB"): StrFormatByteSize64 on Windows.
std::string ByteSizeText(uint64_t bytes);

// 0 when nothing was received, 100 when more than the total arrived.
int PercentComplete(uint64_t received, uint64_t total);

// The texts of the detail fields of one item at `now`.
struct DetailTexts {
    std::string name;
    std::string timeRemaining;  // empty unless "Active" with a known total
    std::string rate;           // idem, "<size>/sec"
    std::string fileTo;         // the last 80 characters of the cache file, "..." before when cut
    std::string statistics;     // "<state>, <message> <received> of <total>"
    int percent = 0;
};
DetailTexts DetailsOf(const CDownloadItem& item, int64_t now);

// Which buttons are on for the selected item (null: none selected).
struct ButtonStates {
    bool restart = false;
    bool stop = false;
    bool launch = false;
    bool showLocation = false;
};
ButtonStates ButtonsFor(const CHistoryItem* selected);

}  // namespace dlmgr

namespace dlmgr {

// The name a downloaded file gets in the download folder: the file-name part
// of the cache file with \ / : * ? " < > | removed. The cache's own marks are
// taken off too ("setup[1].exe" and Wine's "setup[1]..exe" become
// "setup.exe"), so the user finds the name the file was published under.
std::string DownloadFileName(const std::string& cacheFile);

}  // namespace dlmgr
