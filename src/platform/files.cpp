// What the file functions share on every platform; the adapters give the rest.
#include "platform/files.h"

#include "platform/text.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string contents;
    if (ReadWholeFile(path, contents) != ReadOutcome::kRead) return std::nullopt;
    return contents;
}

namespace {

// Reads a run of decimal digits ending at `dot` (or the end) into `value`;
// false when there is none or it does not fit 32 bits.
bool TakeNumber(std::string_view& rest, uint32_t& value) {
    size_t n = 0;
    uint64_t v = 0;
    while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9') {
        v = v * 10 + static_cast<uint64_t>(rest[n] - '0');
        if (v > 0xFFFFFFFFu) return false;
        ++n;
    }
    if (n == 0) return false;
    value = static_cast<uint32_t>(v);
    rest.remove_prefix(n);
    return true;
}

}  // namespace

std::optional<uint32_t> SaveTemporaryProcess(std::string_view fileName, std::string_view targetName) {
    if (targetName.empty() || !textutil::StartsWithNoCase(fileName, targetName)) return std::nullopt;
    std::string_view rest = fileName.substr(targetName.size());
    uint32_t numbers[3] = {};
    for (uint32_t& number : numbers) {
        if (rest.empty() || rest.front() != '.') return std::nullopt;
        rest.remove_prefix(1);
        if (!TakeNumber(rest, number)) return std::nullopt;
    }
    if (!textutil::EqualsNoCase(rest, ".tmp")) return std::nullopt;
    return numbers[0];
}

}  // namespace platform
