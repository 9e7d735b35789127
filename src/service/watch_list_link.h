// Connects a scan exchange's buffer to the watch list: the request's time
// becomes the list's scan time, the list's update flags are cleared before a
// check reply is read, and the reply's subscription note is kept by the list.
#pragma once

#include "inventory/watch_list.h"
#include "service/xml_buffer.h"

namespace vnxml {

class CWatchListLink final : public IWatchListLink {
public:
    explicit CWatchListLink(VN_WatchList& list) : list_(list) {}

    void SetScanTime(int64_t time) override { list_.SetScanTime(time); }
    void ItemFlagsReset() override { list_.ItemFlagsReset(); }
    void KeepSubscriptionNote(const CXMLSubscriptionNote& note) override;

private:
    VN_WatchList& list_;
};

}  // namespace vnxml
