// dlmgr::CDownloadListData: every transfer requested since the program
// started (it owns the items, in order of request), the queue of waiting
// items and the one transfer thread. Everything here runs on the
// user-interface thread except `transfer`, which runs on the transfer thread
// and reports its end by posting to the window, which then calls
// OnTransferEnd.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dlmgr/download_item.h"
#include "inventory/list_base.h"

namespace dlmgr {

class CDownloadListData : public VN_ListBase {
public:
    CDownloadListData() = default;
    ~CDownloadListData() override;

    // The body of the transfer thread for one item (set by the window).
    std::function<void(CDownloadItem&)> transfer;

    // A new ordinary download, started now or queued.
    CDownloadItem& Add(const std::string& name, const std::string& url, int64_t now);
    // A program update (no row in the window): started when no transfer
    // runs, otherwise dropped (null).
    CDownloadItem* AddProgramUpdate(const std::string& name, const std::string& url, int64_t now);

    // Starts the item when no transfer thread runs (it becomes current and
    // "Active"); otherwise queues an ordinary item ("Queued") and answers
    // false. A program update that cannot start is left as it is.
    bool StartOrQueue(CDownloadItem& item, int64_t now);

    // After the transfer thread posted its end: waits for the thread, applies
    // the outcome to the item, queues a failed item again and starts the
    // next queued one that has retries left (those without are "Canceled").
    // Answers the item started, if any.
    CDownloadItem* OnTransferEnd(CDownloadItem& item, uint32_t maxRetries, int64_t now);

    // "&Stop" on one item.
    void Stop(CDownloadItem& item);
    // The running transfer is asked to stop and every queued item leaves
    // the queue "Canceled" (a queued item must not start later).
    void StopAll();
    // "&Restart": no failed attempts, then start or queue.
    void Restart(CDownloadItem& item, int64_t now);
    // At exit, once the transfer thread has ended: the item it worked on
    // takes its outcome (a failure counts but is not queued again), every
    // queued item is "Canceled" and nothing starts. False, changing nothing,
    // while the thread still runs.
    bool EndForExit();

    bool AnyActiveOrQueued() const;
    bool IsQueued(const CDownloadItem& item) const;
    CDownloadItem* Current() const { return current_; }
    // Every item, in order of request.
    std::vector<CDownloadItem*> Items() const;
    // Removes every item that is neither "Active" nor "Queued" and answers
    // their stored parts, for the download history.
    std::vector<std::unique_ptr<CHistoryItem>> TakeFinished();

private:
    void Begin(CDownloadItem& item, int64_t now);
    void RemoveFromQueue(CDownloadItem& item);

    std::deque<CDownloadItem*> queue_;
    CDownloadItem* current_ = nullptr;
};

// The items to keep after "&Close": the history as it was, then the
// finished transfers. True when the file was written (or nothing to write).
bool MoveToHistory(VN_ListBase& history, std::vector<std::unique_ptr<CHistoryItem>> finished);

}  // namespace dlmgr
