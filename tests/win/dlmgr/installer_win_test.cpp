// The agent's package: installed with msiexec, it puts varnel.exe and the
// inventory library in the program files folder, a Start Menu shortcut and
// the event-log source; the
// next version's package, checked and started as the self-update starts it,
// replaces it (a small update: same product, higher version).
#include <gtest/gtest.h>

#include "platform/win/win.h"

#include <msi.h>
#include <shlobj.h>

#include "dlmgr/self_update_rules.h"
#include "dlmgr/win/held_file.h"
#include "dlmgr/win/trust_check.h"
#include "dlmgr_win_support.h"
#include "platform/win/handles.h"

namespace dlmgr {
namespace {

constexpr const char* kProductCode = kAgentProductCode;
constexpr char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Zelto Varnel";

// Runs a command line to its end; its exit code, or -1.
long RunToEnd(std::string command) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<long>(code);
}

std::string InstalledVersion() {
    char version[64] = {};
    DWORD size = sizeof version;
    if (MsiGetProductInfoA(kProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &size) != ERROR_SUCCESS) return "";
    return version;
}

std::string Folder(int csidl) {
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string RegistryText(const char* key, const char* name) {
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "";
    return value;
}

// Removes the product whatever the test left.
struct Uninstall {
    ~Uninstall() { RunToEnd(std::string("msiexec.exe /x ") + kProductCode + " /qn"); }
};

// Checks a package, holds it and starts it as the self-update does; the
// installer's exit code.
DWORD InstallAsTheSelfUpdate(const std::string& package) {
    CHeldFile held = CHeldFile::Open(package);
    EXPECT_TRUE(held);
    EXPECT_TRUE(VerifyTrust(package));
    EXPECT_TRUE(VerifySigner(package));
    InstallerStart start = StartHeldInstaller(held);
    EXPECT_TRUE(start.Started()) << start.shellResult;
    if (!start.process || WaitForSingleObject(start.process.get(), 120000) != WAIT_OBJECT_0) return 9999;
    DWORD code = 9999;
    GetExitCodeProcess(start.process.get(), &code);
    return code;
}

TEST(AgentInstaller, InstallsTheAgentAndTheNextVersionReplacesItThroughTheSelfUpdateCommand) {
    Uninstall cleanup;
    dlmgr_test::TempFolder upgrade;
    // Not installed yet: the update installs the package.
    const std::string first = upgrade.File("varnel.msi");
    ASSERT_TRUE(CopyFileA(dlmgr_test::WinePath(std::string(VARNEL_INSTALLER_DIR) + "/varnel.msi").c_str(),
                          first.c_str(), FALSE));
    ASSERT_EQ(InstallAsTheSelfUpdate(first), 0u);
    EXPECT_EQ(InstalledVersion(), "1.3.1.55");

    const std::string exe = Folder(CSIDL_PROGRAM_FILES) + "\\Harbinel\\Zelto Varnel\\varnel.exe";
    EXPECT_TRUE(FileExists(exe)) << exe;
    EXPECT_TRUE(VerifyTrust(exe) && VerifySigner(exe));
    EXPECT_EQ(RegistryText(kEventSourceKey, "EventMessageFile"), exe);
    // Other programs load the inventory functions from the installed folder;
    // the agent's own product is among those they count.
    const std::string library = Folder(CSIDL_PROGRAM_FILES) + "\\Harbinel\\Zelto Varnel\\varnel_inventory.dll";
    EXPECT_TRUE(VerifyTrust(library) && VerifySigner(library));
    {
        HMODULE inventory = LoadLibraryA(library.c_str());
        ASSERT_NE(inventory, nullptr) << GetLastError();
        using CountFunction = int(__cdecl*)();
        const auto count =
            reinterpret_cast<CountFunction>(reinterpret_cast<void*>(GetProcAddress(inventory, "AllProductsCount")));
        ASSERT_NE(count, nullptr);
        EXPECT_GE(count(), 1);
        FreeLibrary(inventory);
    }
    // Wine resolves the package's Start Menu to the user's even for a
    // per-machine install; Windows to the common one.
    const std::string link = "\\Zelto Varnel\\Zelto Varnel.lnk";
    EXPECT_TRUE(FileExists(Folder(CSIDL_COMMON_PROGRAMS) + link) || FileExists(Folder(CSIDL_PROGRAMS) + link));

    // The next version, held from the check until msiexec has started. A plain
    // "/i" of an installed product would fail (1638): the reinstall runs.
    const std::string update = upgrade.File("varnel-1.3.1.56.msi");
    ASSERT_TRUE(CopyFileA(dlmgr_test::SigningFixture("varnel-1.3.1.56.msi").c_str(), update.c_str(), FALSE));
    ASSERT_EQ(InstallAsTheSelfUpdate(update), 0u);
    EXPECT_EQ(InstalledVersion(), "1.3.1.56");
    EXPECT_TRUE(FileExists(exe));

    ASSERT_EQ(RunToEnd(std::string("msiexec.exe /x ") + kProductCode + " /qn"), 0);
    EXPECT_EQ(InstalledVersion(), "");
    EXPECT_FALSE(FileExists(exe));
    EXPECT_FALSE(FileExists(library));
    EXPECT_EQ(RegistryText(kEventSourceKey, "EventMessageFile"), "");
}

}  // namespace
}  // namespace dlmgr
