// The update watcher against real processes: it waits for the installer,
// reads its exit code and starts the agent; and a normal start clears the
// folders of earlier watchers once nothing there is in use. (The whole path,
// a real msiexec update and the installed agent started again, is the
// end-to-end test's "selfupdate" mode.)
#include <gtest/gtest.h>

#include "common/recorded_events.h"
#include "dlmgr/win/update_watcher.h"
#include "dlmgr_win_support.h"
#include "platform/win/handles.h"

namespace dlmgr {
namespace {

TEST(UpdateWatcher, AFailedInstallerIsReportedWithItsExitCodeAndTheRunningAgentStarted) {
    testing_support::EventRecorder events;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string installer = "cmd.exe /c exit 1603";
    ASSERT_TRUE(CreateProcessA(nullptr, installer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &si, &pi));
    platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);

    EXPECT_EQ(RunUpdateWatch(pi.dwProcessId, 0, dlmgr_test::SigningFixture("payload/payload.exe")), 0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code) && code == 1603) << "the watcher returned before the end";
    ASSERT_EQ(events.Texts().size(), 1u);
    EXPECT_NE(events.Texts()[0].find("failed with exit code 1603"), std::string::npos) << events.Texts()[0];

    // A program that cannot be started is reported too.
    dlmgr_test::TempFolder folder;
    EXPECT_EQ(RunUpdateWatch(pi.dwProcessId, 0, folder.File("varnel.exe")), 1);
    ASSERT_EQ(events.Texts().size(), 3u);
    EXPECT_NE(events.Texts()[2].find("could not be started again"), std::string::npos) << events.Texts()[2];
}

TEST(UpdateWatcher, LeftoverFoldersGoOnceNothingInThemIsInUse) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string free = std::string(temp) + "Varnel update 4000000001";
    const std::string busy = std::string(temp) + "Varnel update 4000000002";
    for (const std::string& folder : {free, busy}) {
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        platform::UniqueFile file(CreateFileA((folder + "\\varnel.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
    }
    auto exists = [](const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; };
    {
        // A running copy is open without delete sharing, as this file is.
        platform::UniqueFile inUse(CreateFileA((busy + "\\varnel.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(inUse);
        RemoveLeftoverWatcherFolders();
        EXPECT_FALSE(exists(free));
        EXPECT_TRUE(exists(busy + "\\varnel.exe"));
    }
    RemoveLeftoverWatcherFolders();
    EXPECT_FALSE(exists(busy));
}

}  // namespace
}  // namespace dlmgr
