#include "dlmgr/download_item.h"

#include "inventory/database.h"

namespace dlmgr {

void CDownloadItem::SetLiveCacheFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(cacheMutex_);
    CacheFile = path;
}

std::string CDownloadItem::LiveCacheFile() const {
    std::lock_guard<std::mutex> lock(cacheMutex_);
    return CacheFile;
}

std::unique_ptr<CHistoryItem> CDownloadItem::ToHistory() const {
    auto h = std::make_unique<CHistoryItem>();
    h->State = State;
    h->Name = Name;
    h->Url = Url;
    h->Destination = Destination;
    h->Started = Started;
    h->Retries = Retries;
    h->Message = Message;
    h->Folder = Folder;
    h->CacheFile = LiveCacheFile();
    return h;
}

void CDownloadItem::ApplyOutcome(const TransferOutcome& result) {
    State = result.state;
    Message = result.message;
    if (!result.destination.empty()) Destination = result.destination;
    if (!result.folder.empty()) Folder = result.folder;
    if (!result.cacheFile.empty()) SetLiveCacheFile(result.cacheFile);
}

CDownloadHistory::CDownloadHistory(const std::string& dataFolder)
    : VN_ListBase(dataFolder + inventory::dbfile::kDownloadHistory) {}

bool CDownloadHistory::AcceptsItem(const VN_ItemGrandBase& item) const {
    return dynamic_cast<const CHistoryItem*>(&item) != nullptr;
}

}  // namespace dlmgr
