// Any bytes as a reply of the update service, read into an exchange over a
// small watch list and driver list: no crash, no leak, a record applied only
// to the item with its number, and the lists keep their items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "service/reply_parser.h"

namespace {

struct Link : vnxml::IWatchListLink {
    size_t notes = 0;
    void SetScanTime(int64_t) override {}
    void ItemFlagsReset() override {}
    void KeepSubscriptionNote(const vnxml::CXMLSubscriptionNote& note) override {
        notes += 1 + note.buttons.size();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    VN_ListBase watch;
    for (int32_t sequence = 1; sequence <= 3; ++sequence) {
        auto item = std::make_unique<VN_WatchItem>();
        item->sequence = sequence;
        item->progName = "Program " + std::to_string(sequence);
        watch.AddTail(std::move(item));
    }
    watch.AddTail(nullptr);
    Views::CDriverData drivers;
    auto driver = std::make_unique<VN_DriverItem>();
    driver->sequence = 4;
    driver->outdated = true;
    drivers.AddTail(std::move(driver));

    Link link;
    vnxml::CXMLBuffer buffer(&watch, &drivers, vnxml::kCheckRequest);
    buffer.watchListLink = &link;
    buffer.PrepareForReply();
    // The first byte, when odd, also traces what is read.
    std::ostringstream trace;
    vnxml::CXMLSwParser parser(buffer);
    parser.ParseBuffer(reinterpret_cast<const char*>(data + 1), size - 1, (data[0] & 1) ? &trace : nullptr);

    if (watch.GetCount() != 4 || drivers.GetCount() != 1) std::abort();
    // Numbers that no item had are never given to an item by a reply.
    for (size_t i = 0; i < 3; ++i)
        if (watch.GetItemAt<VN_WatchItem>(i)->sequence != static_cast<int32_t>(i + 1)) std::abort();
    // Only a changed item can be a new update.
    if (buffer.watchListNewOutOfDate && !buffer.changedFlag) std::abort();
    return 0;
}
