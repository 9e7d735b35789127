// The user's shell folders through SHGetFolderPath.
#include "platform/win/win.h"

#include <shlobj.h>

#include "platform/folders.h"
#include "platform/win/wide.h"

namespace platform {

std::optional<std::string> PlatformShellFolderPath(ShellFolder folder) {
    const int csidl = folder == ShellFolder::AppData ? CSIDL_APPDATA : CSIDL_PERSONAL;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0]) return std::nullopt;
    std::string out = AnsiPath(path);
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

}  // namespace platform
