// What the file functions share on every platform; the adapters give the rest.
#include "platform/files.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string contents;
    if (ReadWholeFile(path, contents) != ReadOutcome::kRead) return std::nullopt;
    return contents;
}

}  // namespace platform
