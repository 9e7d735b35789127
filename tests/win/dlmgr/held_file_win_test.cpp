// The verified installer stays held from its check until its process has
// started: another process can neither write, replace nor delete it.
#include "dlmgr/win/held_file.h"

#include <gtest/gtest.h>

#include "dlmgr/win/trust_check.h"
#include "dlmgr_win_support.h"

namespace dlmgr {
namespace {

using dlmgr_test::SigningFixture;
using dlmgr_test::TempFolder;

TEST(HeldFile, AReplacementBetweenCheckAndStartFails) {
    TempFolder folder;
    const std::string update = folder.File("update.exe");
    const std::string swap = folder.File("swap.exe");
    ASSERT_TRUE(CopyFileA(SigningFixture("variants/signed.exe").c_str(), update.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(SigningFixture("variants/other-publisher.exe").c_str(), swap.c_str(), FALSE));

    CHeldFile held = CHeldFile::Open(update);
    ASSERT_TRUE(held) << held.Error();
    ASSERT_TRUE(VerifyTrust(update));
    ASSERT_TRUE(VerifySigner(update));

    EXPECT_FALSE(MoveFileExA(swap.c_str(), update.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileA(swap.c_str(), update.c_str(), FALSE));
    EXPECT_FALSE(DeleteFileA(update.c_str()));
    HANDLE writer = CreateFileA(update.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    // The installer starts from the held file (as "/S": the program answers 7).
    InstallerStart start = StartHeldInstaller(held);
    ASSERT_TRUE(start.hasCommand);
    ASSERT_TRUE(start.Started()) << start.shellResult;
    ASSERT_TRUE(start.process);
    ASSERT_EQ(WaitForSingleObject(start.process.get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(start.process.get(), &code);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(VerifySigner(update));  // still the file that was checked

    held.Release();
    EXPECT_TRUE(MoveFileExA(swap.c_str(), update.c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST(HeldFile, AFileOpenForWritingCannotBeHeldAndNothingStarts) {
    TempFolder folder;
    const std::string update = folder.File("busy.exe");
    ASSERT_TRUE(CopyFileA(SigningFixture("variants/signed.exe").c_str(), update.c_str(), FALSE));
    HANDLE writer = CreateFileA(update.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    CHeldFile held = CHeldFile::Open(update);
    EXPECT_FALSE(held);
    EXPECT_EQ(held.Error(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(writer);
    const InstallerStart start = StartHeldInstaller(held);
    EXPECT_FALSE(start.Started());
    EXPECT_FALSE(start.process);
}

}  // namespace
}  // namespace dlmgr
