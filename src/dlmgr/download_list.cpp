#include "dlmgr/download_list.h"

#include <algorithm>

#include "platform/log.h"

namespace dlmgr {

CDownloadListData::~CDownloadListData() {
    // The thread works on one of our items: ask it to stop and wait.
    if (current_) current_->Abort = true;
    WaitThread();
}

CDownloadItem& CDownloadListData::Add(const std::string& name, const std::string& url, int64_t now) {
    auto owned = std::make_unique<CDownloadItem>();
    CDownloadItem& item = *owned;
    item.Name = name;
    item.Url = url;
    item.Started = now;
    AddTail(std::move(owned));
    StartOrQueue(item, now);
    return item;
}

CDownloadItem* CDownloadListData::AddProgramUpdate(const std::string& name, const std::string& url, int64_t now) {
    if (current_ || IsThreadRunning()) {
        vnlog::Write("A program update was requested while a transfer runs; it is dropped");
        return nullptr;
    }
    auto owned = std::make_unique<CDownloadItem>();
    CDownloadItem& item = *owned;
    item.Name = name;
    item.Url = url;
    item.Kind = kKindProgramUpdate;
    item.Started = now;
    AddTail(std::move(owned));
    StartOrQueue(item, now);
    return &item;
}

bool CDownloadListData::StartOrQueue(CDownloadItem& item, int64_t now) {
    if (!IsThreadRunning() && !current_) {
        Begin(item, now);
        return true;
    }
    if (item.Kind == kKindProgramUpdate) return false;
    if (!IsQueued(item) && &item != current_) {
        queue_.push_back(&item);
        item.State = kStateQueued;
    }
    return false;
}

void CDownloadListData::Begin(CDownloadItem& item, int64_t now) {
    RemoveFromQueue(item);
    current_ = &item;
    item.State = kStateActive;
    item.Started = now;
    item.Message.clear();
    item.Abort = false;
    item.Received = 0;
    item.Total = 0;
    CDownloadItem* target = &item;
    if (!transfer || !BeginThread([this, target] { transfer(*target); })) {
        current_ = nullptr;
        item.State = kStateFailed;
        item.Message = "The transfer could not be started.";
    }
}

CDownloadItem* CDownloadListData::OnTransferEnd(CDownloadItem& item, uint32_t maxRetries, int64_t now) {
    WaitThread();
    StopThread();
    if (current_ == &item) current_ = nullptr;
    item.ApplyOutcome(item.outcome);
    if (item.State == kStateFailed) {
        ++item.Retries;
        if (item.Kind != kKindProgramUpdate) {
            queue_.push_back(&item);
            item.State = kStateQueued;
        }
    }
    while (!queue_.empty()) {
        CDownloadItem* next = queue_.front();
        queue_.pop_front();
        if (next->Retries >= 0 && static_cast<uint32_t>(next->Retries) >= maxRetries) {
            next->State = kStateCanceled;
            continue;
        }
        Begin(*next, now);
        return next;
    }
    return nullptr;
}

void CDownloadListData::Stop(CDownloadItem& item) {
    if (IsThreadRunning() && &item == current_) {
        item.Abort = true;
    } else if (IsQueued(item)) {
        RemoveFromQueue(item);
        item.Abort = false;
        item.State = kStateCanceled;
    } else if (item.State == kStateActive) {
        item.Abort = false;
        item.State = kStateStopped;
    }
}

void CDownloadListData::StopAll() {
    if (current_) current_->Abort = true;
    for (CDownloadItem* waiting : queue_) waiting->State = kStateCanceled;
    queue_.clear();
}

bool CDownloadListData::EndForExit() {
    if (IsThreadRunning()) return false;
    WaitThread();
    StopThread();
    for (CDownloadItem* waiting : queue_) waiting->State = kStateCanceled;
    queue_.clear();
    if (CDownloadItem* item = current_) {
        current_ = nullptr;
        item->ApplyOutcome(item->outcome);
        if (item->State == kStateFailed) ++item->Retries;
    }
    return true;
}

void CDownloadListData::Restart(CDownloadItem& item, int64_t now) {
    item.Retries = 0;
    StartOrQueue(item, now);
}

bool CDownloadListData::AnyActiveOrQueued() const {
    for (CDownloadItem* item : Items())
        if (item->State == kStateActive || item->State == kStateQueued) return true;
    return false;
}

bool CDownloadListData::IsQueued(const CDownloadItem& item) const {
    return std::find(queue_.begin(), queue_.end(), &item) != queue_.end();
}

std::vector<CDownloadItem*> CDownloadListData::Items() const {
    std::vector<CDownloadItem*> items;
    for (VN_ItemGrandBase* entry : Snapshot())
        if (auto* item = dynamic_cast<CDownloadItem*>(entry)) items.push_back(item);
    return items;
}

std::vector<std::unique_ptr<CHistoryItem>> CDownloadListData::TakeFinished() {
    std::vector<std::unique_ptr<CHistoryItem>> finished;
    for (size_t i = GetCount(); i-- > 0;) {
        auto* item = GetItemAt<CDownloadItem>(i);
        if (!item || item == current_ || item->State == kStateActive || item->State == kStateQueued) continue;
        finished.insert(finished.begin(), item->ToHistory());
        Detach(i);
    }
    return finished;
}

void CDownloadListData::RemoveFromQueue(CDownloadItem& item) {
    queue_.erase(std::remove(queue_.begin(), queue_.end(), &item), queue_.end());
}

bool MoveToHistory(VN_ListBase& history, std::vector<std::unique_ptr<CHistoryItem>> finished) {
    for (auto& item : finished) history.AddTail(std::move(item));
    if (history.IsEmpty()) return true;
    return history.Save();
}

}  // namespace dlmgr
