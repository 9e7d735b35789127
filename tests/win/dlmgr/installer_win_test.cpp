// The agent's package: installed with msiexec, it puts varnel.exe in the
// program files folder, a Start Menu shortcut and the event-log source; the
// next version's package, checked and started as the self-update starts it,
// replaces it (a small update: same product, higher version).
#include <gtest/gtest.h>

#include "platform/win/win.h"

#include <msi.h>
#include <shlobj.h>

#include "dlmgr/win/held_file.h"
#include "dlmgr/win/trust_check.h"
#include "dlmgr_win_support.h"
#include "platform/win/handles.h"

namespace dlmgr {
namespace {

constexpr char kProductCode[] = "{D3A5F0C2-6B1E-4F7A-9C28-5E0B7D4A1F36}";
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

TEST(AgentInstaller, InstallsTheAgentAndTheNextVersionReplacesItThroughTheSelfUpdateCommand) {
    Uninstall cleanup;
    const std::string package = dlmgr_test::WinePath(std::string(VARNEL_INSTALLER_DIR) + "/varnel.msi");
    ASSERT_EQ(RunToEnd("msiexec.exe /i \"" + package + "\" /qn"), 0);
    EXPECT_EQ(InstalledVersion(), "1.3.1.55");

    const std::string exe = Folder(CSIDL_PROGRAM_FILES) + "\\Harbinel\\Zelto Varnel\\varnel.exe";
    EXPECT_TRUE(FileExists(exe)) << exe;
    EXPECT_TRUE(VerifyTrust(exe) && VerifySigner(exe));
    EXPECT_EQ(RegistryText(kEventSourceKey, "EventMessageFile"), exe);
    // Wine resolves the package's Start Menu to the user's even for a
    // per-machine install; Windows to the common one.
    const std::string link = "\\Zelto Varnel\\Zelto Varnel.lnk";
    EXPECT_TRUE(FileExists(Folder(CSIDL_COMMON_PROGRAMS) + link) || FileExists(Folder(CSIDL_PROGRAMS) + link));

    // The downloaded update, held from the check until msiexec has started.
    dlmgr_test::TempFolder upgrade;
    const std::string update = upgrade.File("varnel.msi");
    ASSERT_TRUE(CopyFileA(dlmgr_test::SigningFixture("varnel-1.3.1.56.msi").c_str(), update.c_str(), FALSE));
    CHeldFile held = CHeldFile::Open(update);
    ASSERT_TRUE(held);
    ASSERT_TRUE(VerifyTrust(update));
    ASSERT_TRUE(VerifySigner(update));
    InstallerStart start = StartHeldInstaller(held);
    ASSERT_TRUE(start.Started()) << start.shellResult;
    ASSERT_TRUE(start.process);
    ASSERT_EQ(WaitForSingleObject(start.process.get(), 120000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(start.process.get(), &code);
    EXPECT_EQ(code, 0u);
    held.Release();
    EXPECT_EQ(InstalledVersion(), "1.3.1.56");
    EXPECT_TRUE(FileExists(exe));

    ASSERT_EQ(RunToEnd(std::string("msiexec.exe /x ") + kProductCode + " /qn"), 0);
    EXPECT_EQ(InstalledVersion(), "");
    EXPECT_FALSE(FileExists(exe));
    EXPECT_EQ(RegistryText(kEventSourceKey, "EventMessageFile"), "");
}

}  // namespace
}  // namespace dlmgr
