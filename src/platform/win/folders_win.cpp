// The user's shell folders through SHGetFolderPath.
#include "platform/win/win.h"

#include <shlobj.h>

#include "platform/folders.h"

namespace platform {

std::optional<std::string> PlatformShellFolderPath(ShellFolder folder) {
    const int csidl = folder == ShellFolder::AppData ? CSIDL_APPDATA : CSIDL_PERSONAL;
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0]) return std::nullopt;
    std::string out(path);
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

}  // namespace platform
