// vntool frame: converts between a document and the compressed frame in which
// the agent and the update service exchange it.
#include <cstdio>
#include <iostream>
#include <iterator>

#include "command.h"
#include "platform/files.h"
#include "service/frame.h"

namespace vntool {
namespace {

const char kHelp[] =
    "vntool frame pack IN OUT\n"
    "vntool frame unpack IN OUT\n"
    "  pack: writes to OUT the compressed frame of the bytes of IN, as the agent\n"
    "  posts a scan document: a 16-byte header (adler32 of the body started from 0,\n"
    "  the body's length, both big-endian, then 8 zero bytes) followed by the zlib\n"
    "  stream. Bodies above 64 MB are refused.\n"
    "  unpack: checks the frame in IN (stated length plausible, zlib stream whole,\n"
    "  length and checksum matching) and writes its body to OUT.\n"
    "  IN or OUT may be \"-\" for standard input or output. OUT is replaced\n"
    "  atomically and left untouched on failure. Prints nothing on success; on\n"
    "  failure one line on stderr naming the reason, exit code 1.\n";

bool ReadInput(const std::string& path, std::string& data) {
    if (path == "-") {
        data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    auto contents = platform::ReadWholeFile(path);
    if (!contents) return false;
    data = std::move(*contents);
    return true;
}

bool WriteOutput(const std::string& path, const std::string& data) {
    if (path == "-") {
        std::cout.write(data.data(), static_cast<std::streamsize>(data.size()));
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }
    return platform::WriteFileAtomically(path, data);
}

int Run(const Args& args) {
    if (args.size() != 3 || (args[0] != "pack" && args[0] != "unpack"))
        return UsageError("usage: vntool frame pack|unpack IN OUT");
    std::string input;
    if (!ReadInput(args[1], input)) return Fail("cannot read " + args[1]);
    std::string output;
    if (args[0] == "pack") {
        if (input.size() > vnxml::kFrameMaxBody) return Fail(args[1] + ": larger than a frame may carry (64 MB)");
        auto frame = vnxml::PackFrame(input);
        if (!frame) return Fail(args[1] + ": compression failed");
        output = std::move(*frame);
    } else {
        vnxml::UnpackedFrame unpacked = vnxml::UnpackFrame(input);
        if (!unpacked.ok()) return Fail(args[1] + ": " + vnxml::FrameErrorText(unpacked.error));
        output = std::move(unpacked.body);
    }
    if (!WriteOutput(args[2], output)) return Fail("cannot write " + args[2]);
    return 0;
}

const Registrar registrar({"frame", "pack or unpack a compressed scan-document frame", kHelp, Run});

}  // namespace
}  // namespace vntool
