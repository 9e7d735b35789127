// The command line comes from whoever starts the program. Splitting it must
// never crash, never invent text (every parameter's bytes come from the line)
// and never yield more parameters than the line has separated runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "appcore/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const auto params = appcore::SplitCommandLine(line);
    const bool quoted = line.find('"') != std::string::npos;
    size_t total = 0;
    for (const std::string& p : params) {
        total += p.size();
        // Only quotes can keep a blank or tab inside a parameter.
        if (!quoted && p.find_first_of(" \t") != std::string::npos) std::abort();
    }
    if (total > line.size()) std::abort();
    if (params.size() > line.size() / 2 + 1) std::abort();
    (void)appcore::ParseCommandLine(line);
    return 0;
}
