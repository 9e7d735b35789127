// The frame decoder reads whatever the network hands the agent: it must never
// crash or allocate beyond its bound, and whatever it accepts must survive
// being framed again. Any input, taken as a body, must round-trip as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const vnxml::UnpackedFrame unpacked = vnxml::UnpackFrame(bytes);
    if (unpacked.ok()) {
        if (unpacked.body.size() > vnxml::kFrameMaxBody) std::abort();
        const auto again = vnxml::PackFrame(unpacked.body);
        if (!again || vnxml::UnpackFrame(*again).body != unpacked.body) std::abort();
    } else if (!unpacked.body.empty()) {
        std::abort();
    }

    const auto packed = vnxml::PackFrame(bytes);
    if (!packed) std::abort();
    const vnxml::UnpackedFrame back = vnxml::UnpackFrame(*packed);
    if (!back.ok() || back.body != bytes) std::abort();
    return 0;
}
