// Any bytes as a catalogue search result or today's-updates feed (the first
// byte chooses): no crash, no leak, every item read is whole, and no feed
// yields items past the day limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "inventory/daily_item.h"
#include "inventory/list_base.h"
#include "inventory/search_item.h"
#include "service/catalog_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    std::ostringstream trace;
    VN_ListBase list;
    if (data[0] & 1) {
        vnxml::CXMLDailyParser parser(list);
        const platform::SaxResult result = parser.ParseBuffer(text, size - 1, (data[0] & 2) ? &trace : nullptr);
        if (parser.Days() > vnxml::CXMLDailyParser::kMaxDays) std::abort();
        if (result == platform::SaxResult::Stopped && !parser.ReadToEnd(result)) std::abort();
        for (size_t i = 0; i < list.GetCount(); ++i)
            if (!list.GetItemAt<VN_DailyItem>(i) || !list.GetItemAt<VN_DailyItem>(i)->catalogItem) std::abort();
    } else {
        vnxml::CXMLSearchParser parser(list);
        parser.ParseBuffer(text, size - 1, (data[0] & 2) ? &trace : nullptr);
        for (size_t i = 0; i < list.GetCount(); ++i) {
            const VN_SearchItem* item = list.GetItemAt<VN_SearchItem>(i);
            if (!item || !item->catalogItem) std::abort();
            item->GetDownloadUrl();
        }
    }
    return 0;
}
