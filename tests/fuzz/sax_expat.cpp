// Any bytes into the host SAX reader: no crash, no runaway entity expansion,
// a document read to its end has balanced start and end events, and a stop
// asked for by the handler ends the parse at once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sax.h"

namespace {

struct Count : platform::ISaxHandler {
    long depth = 0;
    long events = 0;
    long stopAfter = -1;  // answer false at this event
    bool Next() { return ++events != stopAfter; }
    bool StartElement(const std::string&, const platform::SaxAttributes&) override {
        ++depth;
        return Next();
    }
    bool EndElement(const std::string&) override {
        if (--depth < 0) std::abort();
        return Next();
    }
    bool Characters(const std::string&) override {
        return Next();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto reader = platform::CreateSaxReader().reader;
    if (!reader || size == 0) return 0;
    Count count;
    // The first byte, when odd, makes the handler stop at some event.
    if (data[0] & 1) count.stopAfter = data[0] >> 1;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const platform::SaxResult result = reader->ParseAnsi(bytes, count);
    if (result == platform::SaxResult::Complete && count.depth != 0) std::abort();
    if (result == platform::SaxResult::Stopped && count.events != count.stopAfter) std::abort();
    return 0;
}
