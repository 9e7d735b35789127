// Any bytes as a configuration file, an exclusion list or a service reply:
// the parser fills the store without crashing, the exclusion test runs every
// pattern it kept on names taken from the input, and a reply whose exclusion
// element is written out as a new list yields a file that reads back whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "inventory/config_parser.h"
#include "inventory/exclusion_file.h"
#include "platform/log.h"
#include "platform/settings.h"

namespace {

const std::string& ScratchFile() {
    static const std::string path = "/tmp/varnel-fuzz-exclusions-" + std::to_string(::getpid()) + ".xml";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
        vnlog::SetDebugSink([](std::string_view) {});
        return true;
    }();
    static auto reader = platform::CreateSaxReader().reader;
    if (!ready || !reader) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    VN_ExclusionStore store;
    VN_ConfigParser parser(&store);
    reader->ParseAnsi(bytes, parser);
    store.IsInExclusions(bytes.substr(0, 80));
    for (const std::string& pattern : store.Patterns()) store.IsInExclusions(pattern);

    if (inventory::SaveExclusionDocument(bytes, ScratchFile()) == 0) {
        VN_ExclusionStore reread;
        if (inventory::ParseConfigFile(ScratchFile(), reread) != platform::SaxResult::Complete) std::abort();
        ::unlink(ScratchFile().c_str());
    }
    return 0;
}
