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

// The new list is written to a folder of this run's own, in memory where the
// system has a memory file system: a save flushes the file and its folder,
// which on a disk would cost more than the parse, and the writer looks
// through the folder for stale temporary files of the list.
std::string scratchFolder, scratchFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
    vnlog::SetDebugSink([](std::string_view) {});
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string folder = std::string(base) + "/varnel-fuzz-XXXXXX";
        if (::mkdtemp(folder.data())) {
            scratchFolder = folder;
            scratchFile = folder + "/exclusions.xml";
            break;
        }
    }
    if (scratchFile.empty()) std::abort();
    std::atexit([] { ::rmdir(scratchFolder.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto reader = platform::CreateSaxReader().reader;
    if (!reader) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    VN_ExclusionStore store;
    VN_ConfigParser parser(&store);
    reader->ParseAnsi(bytes, parser);
    store.IsInExclusions(bytes.substr(0, 80));
    // Every test runs every pattern: a few of the patterns as names are
    // enough (all of them would cost the square of their number).
    size_t names = 0;
    for (const std::string& pattern : store.Patterns()) {
        if (++names > 16) break;
        store.IsInExclusions(pattern);
    }

    if (inventory::SaveExclusionDocument(bytes, scratchFile) == 0) {
        VN_ExclusionStore reread;
        if (inventory::ParseConfigFile(scratchFile, reread) != platform::SaxResult::Complete) std::abort();
        ::unlink(scratchFile.c_str());
    }
    return 0;
}
