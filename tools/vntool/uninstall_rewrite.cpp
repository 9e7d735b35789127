// vntool uninstall-rewrite: the changed uninstall string of a command line,
// as the agent puts it into a registry product's signature.
#include <cstdio>
#include <string>

#include "command.h"
#include "platform/codepage.h"
#include "scanners/uninstall_string.h"

namespace vntool {
namespace {

int Run(const Args& args) {
    bool listPaths = false;
    Args rest;
    for (const std::string& arg : args) {
        if (arg == "--paths" && rest.empty()) listPaths = true;
        else rest.push_back(arg);
    }
    if (rest.size() != 1) return UsageError("uninstall-rewrite: give one \"COMMAND LINE\"");
    VN_UninstallString command(rest[0]);
    if (listPaths) {
        for (const std::u16string& path : command.GetPaths())
            std::printf("path %s\n", platform::Utf16ToAnsi(path).c_str());
    }
    std::printf("%s\n", command.GetChangedString().c_str());
    return 0;
}

const Registrar registrar({
    "uninstall-rewrite",
    "the changed uninstall string of a command line",
    "vntool uninstall-rewrite [--paths] \"COMMAND LINE\"\n"
    "    Finds the file paths in COMMAND LINE (a drive letter and a colon, up to\n"
    "    the last three-character extension before the next double quote, colon\n"
    "    or comma) and replaces every occurrence of each with the file's size in\n"
    "    bytes, as the agent does for an uninstall entry's signature. A file that\n"
    "    does not exist, cannot be opened or has the extension \".log\" becomes\n"
    "    \"0\"; sizes of 2 GiB and more are the low 32 bits as a signed number.\n"
    "    Paths are looked up on the machine running vntool, with backslashes\n"
    "    read as slashes (so \"C:\\dir\\a.exe\" is the relative path\n"
    "    \"C:/dir/a.exe\").\n"
    "    Output: the changed command line on one line. With --paths it is\n"
    "    preceded by one line \"path PATH\" for each path found, in order.\n"
    "    Text is taken and printed as bytes of the ANSI code page\n"
    "    (Windows-1252). Exit code 0; 2 on wrong usage.\n",
    &Run,
});

}  // namespace
}  // namespace vntool
