// The host has no shell folders: they are folders under the temporary
// directory, so that nothing a test does touches the user's own files.
#include <unistd.h>

#include <cstdlib>

#include "platform/folders.h"

namespace platform {

std::optional<std::string> PlatformShellFolderPath(ShellFolder folder) {
    const char* tmp = std::getenv("TMPDIR");
    std::string root = (tmp && *tmp) ? tmp : "/tmp";
    root += "/varnel-host-" + std::to_string(static_cast<unsigned long>(::getuid()));
    return root + (folder == ShellFolder::AppData ? "/AppData" : "/Documents");
}

}  // namespace platform
