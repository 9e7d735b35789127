// dlmgr::CDownloadItem: one live transfer of the download manager. The
// user-interface thread owns the item; while its transfer runs, the worker
// thread shares with it only the counters, the abort flag and the cache-file
// name (each safe to touch from both threads), and hands everything else
// back in a TransferOutcome that the user-interface thread applies when the
// transfer has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "dlmgr/history_item.h"
#include "inventory/list_base.h"

namespace dlmgr {

enum DownloadKind : int32_t {
    kKindOrdinary = 0,
    kKindProgramUpdate = 1,
};

// What a finished transfer found, written by the worker and applied to its
// item on the user-interface thread (ApplyOutcome).
struct TransferOutcome {
    int32_t state = kStateFailed;
    std::string message;
    std::string destination;
    std::string folder;
    std::string cacheFile;
};

class CDownloadItem : public CHistoryItem {
public:
    // The stored part of the item, for the download history.
    std::unique_ptr<CHistoryItem> ToHistory() const;

    // Byte counts as the transfer reports them: 64-bit, as the interface
    // gives them, so progress stays right past 4 GB.
    std::atomic<uint64_t> Received{0};
    std::atomic<uint64_t> Total{0};
    // Set to ask the running transfer to stop.
    std::atomic<bool> Abort{false};
    int32_t Kind = kKindOrdinary;

    // The cache file while the transfer runs (the worker sets it, the
    // details show it).
    void SetLiveCacheFile(const std::string& path);
    std::string LiveCacheFile() const;

    // On the user-interface thread, after the transfer thread has ended.
    void ApplyOutcome(const TransferOutcome& outcome);
    // Written by the worker just before it reports the end.
    TransferOutcome outcome;

private:
    mutable std::mutex cacheMutex_;
};

// The download-history list: the finished transfers, kept in
// "downloadhistory.db" in the data folder.
class CDownloadHistory : public VN_ListBase {
public:
    explicit CDownloadHistory(const std::string& dataFolder);

protected:
    bool AcceptsItem(const VN_ItemGrandBase& item) const override;
};

}  // namespace dlmgr
