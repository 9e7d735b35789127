// Changed uninstall strings against real files, running uninstall commands
// through a recorded runner, and the uninstall action's still-installed test.
#include "scanners/uninstall_string.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "common/temp_folder.h"
#include "inventory/watch_list.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/log.h"
#include "product_fakes.h"
#include "scanners/item_uninstall.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Paths(const std::string& commandLine) {
    std::vector<std::string> out;
    const VN_UninstallString command(commandLine);
    for (const std::u16string& p : command.GetPaths()) out.push_back(platform::Utf16ToAnsi(p));
    return out;
}

// Works in a scratch folder of its own, where "C:\..." names the relative
// path "C:/..." as the host reads Windows paths.
class ChangedString : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        fs::current_path(folder_.path());
    }
    void TearDown() override { fs::current_path(previous_); }
    void MakeFile(const std::string& windowsPath, size_t size) {
        const std::string native = platform::NativePath(windowsPath);
        fs::create_directories(fs::path(native).parent_path());
        std::ofstream(native, std::ios::binary) << std::string(size, 'x');
    }
    // A file of the given size that takes no room on disk.
    void MakeSparseFile(const std::string& windowsPath, off_t size) {
        const std::string native = platform::NativePath(windowsPath);
        fs::create_directories(fs::path(native).parent_path());
        const int fd = ::open(native.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }

    testing_support::TempFolder folder_{"varnel-uninstall"};
    fs::path previous_;
};

TEST(UninstallPaths, PathsRunFromADriveLetterToTheLastExtensionBeforeAQuoteColonOrComma) {
    EXPECT_TRUE(Paths("MsiExec.exe /X{23170F69-40C1-2702-1900-000001000000}").empty());
    EXPECT_EQ(Paths("\"C:\\Program Files\\7-Zip\\Uninstall.exe\" /S"),
              (std::vector<std::string>{"C:\\Program Files\\7-Zip\\Uninstall.exe"}));
    // A colon ends a path: the option before the second path is not part of the first.
    EXPECT_EQ(Paths("C:\\App\\uninst.exe /log=C:\\Temp\\u.txt"),
              (std::vector<std::string>{"C:\\App\\uninst.exe", "C:\\Temp\\u.txt"}));
    EXPECT_EQ(Paths("C:\\App\\uninst.exe D:\\Data\\settings.ini"),
              (std::vector<std::string>{"C:\\App\\uninst.exe", "D:\\Data\\settings.ini"}));
    EXPECT_EQ(Paths("C:\\Setup\\setup.exe -remove -config setup.ini"),
              (std::vector<std::string>{"C:\\Setup\\setup.exe -remove -config setup.ini"}));
    EXPECT_EQ(Paths("\"C:\\a.b\\prog.exe\",1"), (std::vector<std::string>{"C:\\a.b\\prog.exe"}));
    EXPECT_EQ(Paths("rundll32.exe C:\\WINDOWS\\system32\\setupapi.dll,InstallHinfSection x 132 C:\\x\\y.inf"),
              (std::vector<std::string>{"C:\\WINDOWS\\system32\\setupapi.dll", "C:\\x\\y.inf"}));
    EXPECT_TRUE(Paths("C:\\NoExtension\\program").empty());
    EXPECT_TRUE(Paths("1:\\digit\\drive.exe").empty());
    EXPECT_EQ(Paths("c:\\caf\xE9\\d\xE9sinstaller.exe"),
              (std::vector<std::string>{"c:\\caf\xE9\\d\xE9sinstaller.exe"}));
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutSearchingTheReplacementAgain) {
    using scanners::ReplaceAllOccurrences;
    EXPECT_EQ(ReplaceAllOccurrences("aaa", "aa", "X"), "Xa");
    EXPECT_EQ(ReplaceAllOccurrences("abab", "ab", "abab"), "abababab");
    EXPECT_EQ(ReplaceAllOccurrences("x.exe y.exe", "y.exe", "12"), "x.exe 12");
    EXPECT_EQ(ReplaceAllOccurrences("none here", "zz", "1"), "none here");
    EXPECT_EQ(ReplaceAllOccurrences("abc", "", "1"), "abc");
}

TEST_F(ChangedString, PathsBecomeTheSizesOfTheirFiles) {
    MakeFile("C:\\Program Files\\App\\uninst.exe", 123456);
    MakeFile("C:\\Program Files\\App\\install.LOG", 500);
    MakeFile("D:\\Data\\settings.ini", 42);
    fs::create_directories("C:/Folder.dir");

    VN_UninstallString quoted("\"C:\\Program Files\\App\\uninst.exe\" /S /D=\"C:\\Program Files\\App\"");
    EXPECT_EQ(quoted.GetChangedString(), "\"123456\" /S /D=\"C:\\Program Files\\App\"");
    EXPECT_EQ(quoted.GetChangedString(), "\"123456\" /S /D=\"C:\\Program Files\\App\"") << "asked twice";

    EXPECT_EQ(VN_UninstallString("\"C:\\Program Files\\App\\uninst.exe\" \"C:\\Program Files\\App\\install.LOG\"")
                  .GetChangedString(),
              "\"123456\" \"0\"")
        << "a log file counts as 0 although it exists";
    EXPECT_EQ(VN_UninstallString("\"C:\\Program Files\\App\\uninst.exe\" /remove \"C:\\Program Files\\App\\uninst.exe\"")
                  .GetChangedString(),
              "\"123456\" /remove \"123456\"");
    EXPECT_EQ(VN_UninstallString("C:\\Program Files\\App\\uninst.exe D:\\Data\\settings.ini").GetChangedString(),
              "123456 42");
    EXPECT_EQ(VN_UninstallString("\"C:\\Missing\\uninst.exe\" /x").GetChangedString(), "\"0\" /x");
    EXPECT_EQ(VN_UninstallString("\"C:\\Folder.dir\" /x").GetChangedString(), "\"0\" /x") << "a folder is no file";
    const std::string msi = "MsiExec.exe /X{23170F69-40C1-2702-1900-000001000000}";
    EXPECT_EQ(VN_UninstallString(msi).GetChangedString(), msi);
}

TEST_F(ChangedString, SizesBeyondTwoGigabytesKeepTheirLow32BitsSigned) {
    MakeSparseFile("C:\\Big\\three.exe", 3LL << 30);
    MakeSparseFile("C:\\Big\\five.exe", 5LL << 30);
    EXPECT_EQ(VN_UninstallString("C:\\Big\\three.exe").GetChangedString(), "-1073741824");
    EXPECT_EQ(VN_UninstallString("C:\\Big\\five.exe").GetChangedString(), "1073741824");
}

// ------------------------------------------------------------ running

class RunUninstall : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(vnlog::Open(folder_.Path("vnlog.txt"))); }
    void TearDown() override { vnlog::Close(); }
    std::string Log() {
        vnlog::Close();
        return platform::ReadWholeFile(folder_.Path("vnlog.txt")).value_or("");
    }

    // A runner that records the command lines and succeeds or fails.
    VN_UninstallString::CommandRunner Runner(bool starts) {
        return [this, starts](const std::string& command) {
            run.push_back(command);
            VN_UninstallString::RunResult result;
            result.started = starts;
            if (!starts) {
                result.error = 2;
                result.errorText = "The system cannot find the file specified.\r\n";
            }
            return result;
        };
    }

    testing_support::TempFolder folder_{"varnel-runlog"};
    std::vector<std::string> run;
};

TEST_F(RunUninstall, ACommandThatCannotStartIsReportedAndLogged) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(VN_UninstallString::RunUninstallCommand("C:\\gone\\uninst.exe /S", Runner(false)));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateProcess failed (2).\n");
    EXPECT_NE(Log().find("*** ExeCommand failed: C:\\gone\\uninst.exe /S \tError: error 2: The system cannot find the "
                         "file specified.\n"),
              std::string::npos);
    EXPECT_TRUE(VN_UninstallString::RunUninstallCommand("ok.exe", Runner(true)));
    EXPECT_EQ(run, (std::vector<std::string>{"C:\\gone\\uninst.exe /S", "ok.exe"}));
}

TEST_F(RunUninstall, AnUninstalledProductsGroupIsMarkedGone) {
    using namespace producttest;
    const std::string code = "{11111111-2222-3333-4444-555555555555}";
    FakeUninstallKeys keys;
    FakeInstaller installer;
    keys.Add(RegScan::UninstallRoot::Machine64, "Kept", Entry("Kept Program", "kept.exe"));
    const RegScan::ProductSources sources{&keys, &installer};

    VN_WatchList list;
    VN_WatchItem entry;
    entry.SetProgName("Suite Program");
    entry.keyName = code;
    entry.uninstallString = "MsiExec.exe /X" + code;
    entry.signature = code + "|Suite Program|";
    entry.SetProductGuid(code);
    list.AddOrMerge(entry, false, false);
    VN_WatchItem component;
    component.SetProductGuid(code);
    component.componentGuid = "{C1}";
    component.targetName = "C:\\Suite\\suite.exe";
    list.AddOrMerge(component, false, false);
    VN_WatchItem kept;
    kept.SetProgName("Kept Program");
    kept.keyName = "Kept";
    kept.uninstallString = "kept.exe";
    kept.signature = "Kept|Kept Program||||kept.exe";
    list.AddOrMerge(kept, false, false);
    ASSERT_EQ(list.GetCount(), 3u);
    VN_WatchItem* items[3] = {list.GetWatchItemAt(0), list.GetWatchItemAt(1), list.GetWatchItemAt(2)};

    EXPECT_EQ(scanners::UninstallItem(list, *items[2], Runner(true), sources), scanners::UninstallOutcome::StillInstalled);
    EXPECT_EQ(items[2]->removed, 0);

    // A test that fails cannot tell whether the product went: nothing is marked.
    installer.onProperty = [](const std::string&) { throw std::runtime_error("installer unavailable"); };
    EXPECT_EQ(scanners::UninstallItem(list, *items[0], Runner(true), sources), scanners::UninstallOutcome::StillInstalled);
    EXPECT_EQ(items[0]->removed, 0);
    EXPECT_EQ(items[1]->removed, 0);
    EXPECT_NE(Log().find("*** Warning, exceptions in RegScan::IsProductInstalled\n"), std::string::npos);
    installer.onProperty = nullptr;

    EXPECT_EQ(scanners::UninstallItem(list, *items[0], Runner(true), sources), scanners::UninstallOutcome::Gone);
    EXPECT_EQ(run, (std::vector<std::string>{"kept.exe", "MsiExec.exe /X" + code, "MsiExec.exe /X" + code}));
    EXPECT_EQ(items[0]->removed, item_state::kGone);
    EXPECT_EQ(items[1]->removed, item_state::kGone) << "the whole product group";
    EXPECT_EQ(items[2]->removed, 0);
    EXPECT_EQ(list.GetCount(), 3u) << "gone items stay in the list";
    EXPECT_TRUE(list.IsModified());

    VN_WatchItem noCommand;
    EXPECT_EQ(scanners::UninstallItem(list, noCommand, Runner(true), sources), scanners::UninstallOutcome::NoCommand);
    EXPECT_EQ(run.size(), 3u);
}

}  // namespace

TEST(CommandParts, TheProgramIsFoundAsCreateProcessFindsIt) {
    const std::set<std::string> files = {"C:\\Program Files\\Tool\\unins000.exe", "C:\\Apps\\setup.exe"};
    const auto exists = [&files](const std::string& path) { return files.count(path) != 0; };
    const auto split = [&exists](const std::string& line) {
        const scanners::CommandParts parts = scanners::SplitCommandLine(line, exists);
        return parts.program + "|" + parts.parameters;
    };
    EXPECT_EQ(split("\"C:\\Program Files\\Tool\\unins000.exe\" /SILENT"),
              "C:\\Program Files\\Tool\\unins000.exe|/SILENT");
    EXPECT_EQ(split("C:\\Program Files\\Tool\\unins000.exe /SILENT /LOG"),
              "C:\\Program Files\\Tool\\unins000.exe|/SILENT /LOG");
    EXPECT_EQ(split("C:\\Apps\\setup -uninstall"), "C:\\Apps\\setup|-uninstall");  // ".exe" left out
    EXPECT_EQ(split(" C:\\Program Files\\Tool\\unins000.exe"), "C:\\Program Files\\Tool\\unins000.exe|");
    EXPECT_EQ(split("C:\\Missing\\a b.exe /x"), "C:\\Missing\\a|b.exe /x");  // nothing found: the first word
    EXPECT_EQ(split("\"C:\\Unclosed\\a.exe /x"), "C:\\Unclosed\\a.exe /x|");
}

TEST(ProcessesToFollow, OnlyProcessesStartedByAFollowedOneAfterItAreTakenOn) {
    // 10 is the uninstaller (created at 100), 11 the copy it started and
    // already followed. 20 and 21 are its new children (21 created in the
    // same tick), 30 a child of 11, 40 lists 10 as parent but is older than
    // 10 (its parent was an ended process whose id was reused), 50 cannot be
    // opened, 60 belongs to another tree.
    const std::vector<scanners::ListedProcess> listed = {{10, 1},  {11, 10}, {20, 10}, {21, 10},
                                                         {30, 11}, {40, 10}, {50, 10}, {60, 2}};
    const std::vector<scanners::FollowedProcess> followed = {{10, 100}, {11, 105}};
    const std::map<uint32_t, uint64_t> created = {{20, 110}, {21, 100}, {30, 120}, {40, 90}, {60, 130}};
    std::vector<uint32_t> asked;
    const std::vector<scanners::FollowedProcess> next =
        scanners::ProcessesToFollow(listed, followed, [&](uint32_t id) -> std::optional<uint64_t> {
            asked.push_back(id);
            const auto it = created.find(id);
            if (it == created.end()) return std::nullopt;
            return it->second;
        });
    std::vector<std::pair<uint32_t, uint64_t>> got;
    for (const scanners::FollowedProcess& process : next) got.emplace_back(process.id, process.created);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, uint64_t>>{{20, 110}, {21, 100}, {30, 120}}));
    EXPECT_EQ(asked, (std::vector<uint32_t>{20, 21, 30, 40, 50})) << "only children of followed processes are opened";
}
