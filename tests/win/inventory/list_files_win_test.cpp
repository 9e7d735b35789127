// The database files through the real Windows file functions: round trips
// with Windows paths, replacement of an existing file, a failed save that
// must leave the old file and no temporary behind, saves of one file from
// two threads at once, and the removal of temporaries that ended saves left.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_folder.h"
#include "inventory/database.h"
#include "inventory/driver_item.h"
#include "inventory/list_base.h"
#include "inventory/watch_item.h"
#include "platform/files.h"
#include "platform/win/win.h"

namespace {

// The shared temporary folder, with the listing these tests compare.
class ScratchFolder : public testing_support::TempFolder {
public:
    ScratchFolder() : TempFolder("varnel-items") {}
    std::string File(const std::string& name) const { return Path(name); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path())) names.push_back(e.path().filename().string());
        return names;
    }
};

std::unique_ptr<VN_WatchItem> Program(const std::string& name) {
    auto w = std::make_unique<VN_WatchItem>();
    w->progName = name;
    w->targetName = "C:\\Program Files\\" + name + "\\" + name + ".exe";
    w->installedVers = "1.2.3";
    return w;
}

class UnstorableItem : public VN_ItemGrandBase {};

}  // namespace

TEST(ListFilesWin, SaveReplacesAndLoadReadsBack) {
    ScratchFolder dir;
    const std::string path = dir.File("varnel.db");
    VN_ListUpdatedBase list(path);
    EXPECT_TRUE(list.Load());  // missing file
    list.AddTail(Program("Alpha"));
    auto driver = std::make_unique<VN_DriverItem>();
    driver->hardwareIds = {"PCI\\VEN_8086&DEV_1C3A", "PCI\\VEN_8086"};
    list.AddTail(std::move(driver));
    ASSERT_TRUE(list.Save());
    list.AddTail(Program("Beta \xE9"));
    ASSERT_TRUE(list.Save());  // over the existing file
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"varnel.db"});

    VN_ListUpdatedBase loaded(path);
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.GetCount(), 3u);
    EXPECT_EQ(loaded.GetItemAt<VN_DriverItem>(1)->hardwareIds.size(), 2u);
    EXPECT_EQ(loaded.GetItemAt<VN_WatchItem>(2)->progName, "Beta \xE9");
}

TEST(ListFilesWin, FailedSaveKeepsTheOldFile) {
    ScratchFolder dir;
    const std::string path = dir.File("driverdata.db");
    VN_ListBase list(path);
    list.AddTail(Program("Alpha"));
    ASSERT_TRUE(list.Save());
    const std::optional<std::string> before = platform::ReadWholeFile(path);
    ASSERT_TRUE(before.has_value());

    list.AddTail(std::make_unique<UnstorableItem>());
    EXPECT_TRUE(list.Save());
    EXPECT_EQ(platform::ReadWholeFile(path), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"driverdata.db"});

    // The file held open without sharing: the replacement fails, the old file stays.
    list.Detach(1);
    list.AddTail(Program("Beta"));
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(list.Save());
    CloseHandle(lock);
    EXPECT_EQ(platform::ReadWholeFile(path), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"driverdata.db"});
}

TEST(ListFilesWin, DamagedFileLeavesAnEmptyList) {
    ScratchFolder dir;
    const std::string path = dir.File("varnel.db");
    VN_ListBase list(path);
    list.AddTail(Program("Alpha"));
    list.AddTail(Program("Beta"));
    ASSERT_TRUE(list.Save());
    std::string image = *platform::ReadWholeFile(path);
    image.resize(image.size() / 2);
    ASSERT_TRUE(platform::WriteFileAtomically(path, image));
    EXPECT_FALSE(list.Load());
    EXPECT_TRUE(list.IsEmpty());

    const std::string names = dir.File("outdatedproductlist.db");
    ASSERT_TRUE(inventory::SaveStringListFile(names, {"Java 8 Update 381", "Adobe Reader"}));
    std::vector<std::string> read;
    ASSERT_TRUE(inventory::LoadStringListFile(names, read));
    EXPECT_EQ(read, (std::vector<std::string>{"Java 8 Update 381", "Adobe Reader"}));
}

TEST(ListFilesWin, SavesFromTwoThreadsAtOnceBothLandWhole) {
    ScratchFolder dir;
    const std::string path = dir.File("varnel.db");
    const std::string contents[2] = {std::string(200000, 'a'), std::string(70000, 'b')};
    ASSERT_TRUE(platform::WriteFileAtomically(path, contents[0]));
    std::atomic<int> failedSaves{0}, badReads{0}, running{2};
    auto saver = [&](int which) {
        for (int i = 0; i < 60; ++i)
            if (!platform::WriteFileAtomically(path, contents[which])) ++failedSaves;
        --running;
    };
    std::thread first(saver, 0), second(saver, 1);
    // Whatever a reader sees meanwhile is one save or the other, complete. (An
    // open file cannot be replaced, so the reader leaves the saves room.)
    while (running > 0) {
        const std::optional<std::string> seen = platform::ReadWholeFile(path);
        if (seen && *seen != contents[0] && *seen != contents[1]) ++badReads;
        Sleep(5);
    }
    first.join();
    second.join();
    EXPECT_EQ(failedSaves, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"varnel.db"});
}

TEST(ListFilesWin, TemporariesOfEndedSavesAreRemovedOnLoadAndSave) {
    ScratchFolder dir;
    // A process that has ended: its identifier names no process any more.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    char command[] = "cmd.exe /c exit 0";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                               &child));
    WaitForSingleObject(child.hProcess, 60000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    const std::string ended = std::to_string(child.dwProcessId);
    const std::string running = std::to_string(GetCurrentProcessId());

    const std::string path = dir.File("varnel.db");
    ASSERT_TRUE(platform::WriteFileAtomically(dir.File("varnel.db." + ended + ".8.1.tmp"), "part of a save"));
    ASSERT_TRUE(platform::WriteFileAtomically(dir.File("varnel.db." + running + ".8.2.tmp"), "a save under way"));
    ASSERT_TRUE(platform::WriteFileAtomically(dir.File("driverdata.db." + ended + ".8.1.tmp"), "another file's"));
    VN_ListBase list(path);
    EXPECT_TRUE(list.Load());
    auto names = dir.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"driverdata.db." + ended + ".8.1.tmp", "varnel.db." + running + ".8.2.tmp"}));

    ASSERT_TRUE(platform::WriteFileAtomically(dir.File("varnel.db." + ended + ".9.1.tmp"), "part of a save"));
    list.AddTail(Program("Alpha"));
    ASSERT_TRUE(list.Save());
    names = dir.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"driverdata.db." + ended + ".8.1.tmp", "varnel.db",
                                               "varnel.db." + running + ".8.2.tmp"}));
}
