// vntool md5: the digests the agent sends, computed the agent's way.
#include <cstdio>
#include <string>

#include "command.h"
#include "scanners/md5.h"

namespace vntool {
namespace {

int Run(const Args& args) {
    if (args.empty()) return UsageError("md5: give FILE... or --string TEXT");
    if (args[0] == "--string") {
        if (args.size() != 2) return UsageError("md5 --string takes one TEXT");
        std::printf("%s\n", digest::StringDigest(args[1]).c_str());
        return 0;
    }
    int status = 0;
    for (const std::string& path : args) {
        const std::string hex = digest::FileMd5Hex(path);
        if (hex.empty()) {
            std::fprintf(stderr, "vntool: md5: cannot read %s\n", path.c_str());
            status = 1;
            continue;
        }
        std::printf("%s  %s\n", hex.c_str(), path.c_str());
    }
    return status;
}

const Registrar registrar({
    "md5",
    "MD5 of files, or the string digest of a text",
    "vntool md5 FILE...\n"
    "    One line per file: 32 lower-case hexadecimal digits, two blanks and the\n"
    "    path, as md5sum prints them. A file that cannot be read gets a line on\n"
    "    stderr and makes the exit code 1; the other files are still hashed.\n"
    "vntool md5 --string TEXT\n"
    "    The string digest the agent sends for an identity text: TEXT is taken as\n"
    "    bytes of the ANSI code page (Windows-1252), converted to UTF-8 and hashed.\n"
    "    One line: 32 lower-case hexadecimal digits.\n",
    &Run,
});

}  // namespace
}  // namespace vntool
