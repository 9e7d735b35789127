// dlmgr::CHistoryItem: one transfer of the download manager, as kept in the
// download history ("downloadhistory.db").
#pragma once

#include <cstdint>
#include <string>

#include "inventory/item_base.h"

namespace dlmgr {

enum DownloadState : int32_t {
    kStateActive = 0,
    kStateCanceled = 1,
    kStateFailed = 2,
    kStateStopped = 3,
    kStateQueued = 4,
    kStateCopyFailed = 5,
    kStateSuccessful = 6,
    kStateCompleted = 7,
};

class CHistoryItem : public VN_ItemGrandBase {
public:
    static constexpr char kClassName[] = "CHistoryItem";

    const char* RuntimeClassName() const override { return kClassName; }
    // State, Name, Url, Destination, Started, Retries; no `removed`.
    void ExchangeFields(inventory::FieldExchange& fx) override;

    // "Active", "Canceled", ... for the states above; empty for any other value.
    static const char* StateText(int32_t state);

    int32_t State = kStateActive;
    std::string Name;         // display name of the product
    std::string Url;          // source address
    std::string Destination;  // full path of the downloaded file
    int64_t Started = 0;      // last start, seconds since 1970
    int32_t Retries = 0;      // failed attempts
    std::string Message;      // last error or status text; not stored
    std::string Folder;       // download folder used; not stored
    std::string CacheFile;    // local file the transfer produced; not stored
};

// Makes the download manager's item classes known to the database files (see
// inventory::RegisterPersistentClass). The program calls it at start-up,
// before the download history is read; calling it again changes nothing.
void RegisterItemClasses();

}  // namespace dlmgr
