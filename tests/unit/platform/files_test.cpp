// The host's atomic file replacement: the permissions it keeps, the
// temporaries of killed saves it removes, and saves of one file from several
// processes at once.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "platform/files.h"

using testing_support::TempFolder;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

std::vector<std::string> Names(const TempFolder& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The identifier of a process that has ended (and been reaped).
pid_t EndedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(SaveFiles, ReplacementKeepsThePermissionsAndANewFileFollowsTheUmask) {
    TempFolder dir;
    const std::string secret = dir.Write("secret.db", "old");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_TRUE(platform::WriteFileAtomically(secret, "new"));
    EXPECT_EQ(ModeOf(secret), 0600u);
    ASSERT_EQ(::chmod(secret.c_str(), 0664), 0);
    ASSERT_TRUE(platform::WriteFileAtomically(secret, "newer"));
    EXPECT_EQ(ModeOf(secret), 0664u);

    const mode_t previous = ::umask(027);
    const bool saved = platform::WriteFileAtomically(dir.Path("fresh.db"), "x");
    ::umask(previous);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ModeOf(dir.Path("fresh.db")), 0640u);
}

TEST(SaveFiles, TemporariesOfEndedSavesOfThatFileAloneAreRemoved) {
    TempFolder dir;
    const std::string dead = std::to_string(EndedProcess());
    const std::string alive = std::to_string(::getpid());
    const std::string path = dir.Write("varnel.db", "old");
    dir.Write("varnel.db." + dead + ".77.1.tmp", "killed save");
    dir.Write("VARNEL.DB." + dead + ".77.2.TMP", "killed save, other case");
    dir.Write("varnel.db." + alive + ".77.3.tmp", "a save still running");
    dir.Write("driverdata.db." + dead + ".77.1.tmp", "another file's");
    dir.Write("varnel.db." + dead + ".77.tmp", "not a save's name");
    dir.Write("varnel.db." + dead + ".77.1.tmp.bak", "not a save's name");
    dir.Write("varnel.db.x" + dead + ".77.1.tmp", "not a save's name");

    ASSERT_TRUE(platform::WriteFileAtomically(path, "new"));
    EXPECT_EQ(Names(dir), (std::vector<std::string>{
                              "driverdata.db." + dead + ".77.1.tmp",
                              "varnel.db",
                              "varnel.db." + alive + ".77.3.tmp",
                              "varnel.db." + dead + ".77.1.tmp.bak",
                              "varnel.db." + dead + ".77.tmp",
                              "varnel.db.x" + dead + ".77.1.tmp",
                          }));
    EXPECT_EQ(platform::ReadWholeFile(path), "new");
}

TEST(SaveFiles, SavesFromSeveralProcessesAtOnceAllLandWhole) {
    TempFolder dir;
    const std::string path = dir.Path("varnel.db");
    const std::string contents[3] = {std::string(300000, 'a'), std::string(1000, 'b'), std::string(50000, 'c')};
    // Each process saves its own contents over and over; every save, and the
    // clean-up each one starts with, runs while the others' are under way.
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int failed = 0;
            for (int i = 0; i < 150; ++i) failed += platform::WriteFileAtomically(path, contents[c + 1]) ? 0 : 1;
            ::_exit(std::min(failed, 100));
        }
    }
    int failed = 0, badReads = 0;
    for (int i = 0; i < 150; ++i) {
        failed += platform::WriteFileAtomically(path, contents[0]) ? 0 : 1;
        const std::optional<std::string> seen = platform::ReadWholeFile(path);
        if (!seen || (*seen != contents[0] && *seen != contents[1] && *seen != contents[2])) ++badReads;
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed saves in a child";
    }
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(Names(dir), std::vector<std::string>{"varnel.db"});
}
