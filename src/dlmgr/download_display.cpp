#include "dlmgr/download_display.h"

#include <cstdio>
#include <string_view>

#include "dlmgr/self_update_rules.h"

namespace dlmgr {

uint64_t TransferRate(uint64_t received, int64_t started, int64_t now) {
    const int64_t elapsed = now - started;
    return received / static_cast<uint64_t>(elapsed > 0 ? elapsed : 1);
}

std::optional<uint64_t> SecondsRemaining(uint64_t total, uint64_t received, uint64_t rate) {
    if (rate == 0) return std::nullopt;
    return total > received ? (total - received) / rate : 0;
}

std::string FormatTimeRemaining(uint64_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%llu hour %02u minute %02u second",
                  static_cast<unsigned long long>(seconds / 3600), static_cast<unsigned>(seconds / 60 % 60),
                  static_cast<unsigned>(seconds % 60));
    return text;
}

int PercentComplete(uint64_t received, uint64_t total) {
    if (received == 0) return 0;
    if (total < received) return 100;
    // Received * 100 could overflow near 2^64; divide first for huge files.
    if (received > UINT64_MAX / 100) return static_cast<int>(received / (total / 100));
    return static_cast<int>(received * 100 / total);
}

DetailTexts DetailsOf(const CDownloadItem& item, int64_t now) {
    DetailTexts d;
    d.name = item.Name;
    const uint64_t received = item.Received.load();
    const uint64_t total = item.Total.load();
    if (item.State == kStateActive && total != 0) {
        const uint64_t rate = TransferRate(received, item.Started, now);
        d.rate = ByteSizeText(rate) + "/sec";
        if (const auto left = SecondsRemaining(total, received, rate)) d.timeRemaining = FormatTimeRemaining(*left);
    }
    const std::string cache = item.LiveCacheFile();
    d.fileTo = cache.size() > 80 ? "..." + cache.substr(cache.size() - 80) : cache;
    d.statistics = std::string(CHistoryItem::StateText(item.State)) + ", " + item.Message + " " +
                   ByteSizeText(received) + " of " + ByteSizeText(total);
    d.percent = PercentComplete(received, total);
    return d;
}

ButtonStates ButtonsFor(const CHistoryItem* selected) {
    ButtonStates b;
    if (!selected) return b;
    switch (selected->State) {
        case kStateActive:
        case kStateQueued: b.stop = true; break;
        case kStateCanceled:
        case kStateFailed:
        case kStateStopped:
        case kStateCopyFailed: b.restart = true; break;
        case kStateSuccessful:
        case kStateCompleted: b.restart = b.launch = b.showLocation = true; break;
        default: break;
    }
    return b;
}

}  // namespace dlmgr

namespace dlmgr {

std::string DownloadFileName(const std::string& cacheFile) {
    const size_t slash = cacheFile.find_last_of("\\/");
    std::string name;
    for (char c : cacheFile.substr(slash == std::string::npos ? 0 : slash + 1))
        if (std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos) name.push_back(c);
    // The cache's "[N]" before the extension (or at the end), and a doubled dot after it.
    const size_t open = name.rfind('[');
    const size_t close = open == std::string::npos ? std::string::npos : name.find(']', open);
    if (close != std::string::npos && close > open + 1 && name.find_first_not_of("0123456789", open + 1) == close &&
        (close + 1 == name.size() || name[close + 1] == '.') && open > 0) {
        size_t rest = close + 1;
        if (name.compare(rest, 2, "..") == 0) ++rest;
        name = name.substr(0, open) + name.substr(rest);
    }
    // "nul.exe" would be copied to the device: reported as success, nothing saved.
    if (IsDeviceName(name)) return std::string();
    return name;
}

}  // namespace dlmgr
