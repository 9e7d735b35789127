// Holding a verified update installer from its trust check until its
// installer process has started: the file is open for reading with only
// reading shared, so no other process can write, replace, rename or delete
// it in between (checked by path, then started by path, it could otherwise be
// swapped after the check). The self-update opens the hold before the trust
// check and keeps it until the program exits:
//
//   CHeldFile held = CHeldFile::Open(path);
//   if (held && VerifyTrust(path) && VerifySigner(path)) StartHeldInstaller(held);
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/handles.h"

namespace dlmgr {

class CHeldFile {
public:
    CHeldFile() = default;
    // Opens the hold; an empty hold when the file is missing or another
    // process has it open for writing or deleting (see Error()).
    static CHeldFile Open(const std::string& path);

    explicit operator bool() const { return static_cast<bool>(file_); }
    const std::string& Path() const { return path_; }
    DWORD Error() const { return error_; }
    void Release() { file_.reset(); }

private:
    platform::UniqueFile file_;
    std::string path_;
    DWORD error_ = 0;
};

// The start of an update installer.
struct InstallerStart {
    bool hasCommand = false;   // false: the file's extension has no installer command
    intptr_t shellResult = 0;  // ShellExecute's result: 0 to 32 is an error
    platform::UniqueHandle process;
    bool Started() const { return shellResult > 32; }
};

// Starts the held file's installer command (see InstallerCommandFor; whether
// the agent's product is installed is asked of the Windows Installer) with the
// shell's "open" verb, hidden, with the desktop as owner. Nothing is started
// when the hold is empty (shellResult ERROR_FILE_NOT_FOUND).
InstallerStart StartHeldInstaller(const CHeldFile& held);

}  // namespace dlmgr
