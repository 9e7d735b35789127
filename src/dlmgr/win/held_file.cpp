#include "dlmgr/win/held_file.h"

#include "dlmgr/self_update_rules.h"
#include "platform/win/wide.h"

#include <msi.h>
#include <shellapi.h>

namespace dlmgr {

CHeldFile CHeldFile::Open(const std::string& path) {
    CHeldFile held;
    held.path_ = path;
    held.file_.reset(CreateFileW(platform::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held.file_) held.error_ = GetLastError();
    return held;
}

InstallerStart StartHeldInstaller(const CHeldFile& held) {
    InstallerStart start;
    const bool installed = MsiQueryProductStateA(kAgentProductCode) == INSTALLSTATE_DEFAULT;
    const auto command = InstallerCommandFor(held.Path(), installed);
    start.hasCommand = command.has_value();
    if (!command) return start;
    if (!held) {
        start.shellResult = ERROR_FILE_NOT_FOUND;
        return start;
    }
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = GetDesktopWindow();
    info.lpVerb = command->verb.c_str();
    info.lpFile = command->file.c_str();
    info.lpParameters = command->parameters.c_str();
    info.nShow = SW_HIDE;
    const BOOL ok = ShellExecuteExA(&info);
    start.shellResult = reinterpret_cast<intptr_t>(info.hInstApp);
    if (ok && start.shellResult <= 32) start.shellResult = 33;
    if (!ok && start.shellResult > 32) start.shellResult = 0;
    start.process.reset(info.hProcess);
    return start;
}

}  // namespace dlmgr
