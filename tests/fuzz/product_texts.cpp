// Uninstall commands and product names come from any program's uninstall
// entry: finding the paths in a command line, rewriting it and rewriting a
// name must neither crash nor run away, and their results must keep their
// shape.
//
// Input: the text, used both as an uninstall command and as a product name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codepage.h"
#include "scanners/products.h"
#include "scanners/uninstall_string.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The paths are searched in the text as the code page round trip leaves it.
    const std::string searched = platform::Utf16ToAnsi(platform::AnsiToUtf16(text));

    VN_UninstallString command(text);
    for (const std::u16string& wide : command.GetPaths()) {
        const std::string path = platform::Utf16ToAnsi(wide);
        Require(path.size() >= 7);
        Require(path[1] == ':' && path[path.size() - 4] == '.');
        for (size_t i = path.size() - 3; i < path.size(); ++i) Require(IsAlnum(path[i]));
        Require(path.find_first_of("\",:", 2) == std::string::npos);
        Require(searched.find(path) != std::string::npos);
    }
    const std::string changed = command.GetChangedString();
    if (command.GetPaths().empty()) Require(changed == text);

    const std::string name = RegScan::RewriteProductName(text);
    Require(name.size() <= searched.size());
    if (searched.find('(') == std::string::npos) Require(name == searched);
    return 0;
}
