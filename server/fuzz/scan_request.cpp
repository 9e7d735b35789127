// The service's reader of scan documents sees whatever a client posts: it must
// never crash, loop or exceed its limits, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scan_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vnservice::ParseLimits limits;
    limits.maxItems = 200;
    limits.maxTextBytes = 4096;
    const vnservice::ParsedRequest parsed =
        vnservice::ParseScanRequest(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (parsed.ok) {
        if (parsed.request.items.size() > limits.maxItems) std::abort();
        for (const auto& item : parsed.request.items) {
            if (item.fields.size() > limits.maxFieldsPerItem) std::abort();
            for (const auto& f : item.fields)
                if (f.text.size() > limits.maxTextBytes) std::abort();
        }
    } else if (parsed.error.empty()) {
        std::abort();
    }
    return 0;
}
