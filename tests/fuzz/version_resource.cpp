// Version resources and PE images from outside: the parser, the lookup of the
// resource in a program image, and everything the program reads from them
// (names, version texts, the identity element) must stay inside the data.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scanners/file_identity.h"
#include "scanners/version_resource.h"

namespace {

void Exercise(std::string_view bytes) {
    const auto info = fileid::CVersionResource::Parse(bytes);
    if (!info) return;
    (void)info->FirstChildKey("\\StringFileInfo");
    (void)fileid::ChooseVersionNames(*info);
    (void)fileid::ChooseVersionNumbers(*info);
    vnxml::CXMLMemorySink sink;
    vnxml::CXMLWriter doc(sink);
    fileid::AddFileIdentity(doc, fileid::kProcessIdentity, "a.exe", "C:\\a.exe", "", info.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Exercise(bytes);
    if (const auto resource = fileid::FindVersionResource(bytes)) Exercise(*resource);
    return 0;
}
