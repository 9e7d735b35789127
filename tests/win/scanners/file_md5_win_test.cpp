// CFileMd5 through CryptoAPI against md5sum's answers for the fixture files
// (computed at build time) and against the portable MD5 around block edges.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "common/temp_folder.h"
#include "fixtures.h"
#include "platform/win/win.h"
#include "scanners/md5.h"
#include "scanners/win/file_md5.h"

using fileid::CFileMd5;

TEST(FileMd5Win, MatchesMd5sumOnTheFixtureFiles) {
    std::ifstream list(FixturePath("md5sums.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int checked = 0;
    bool sawEmpty = false;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string digest, name;
        fields >> digest >> name;
        ASSERT_EQ(digest.size(), 32u) << line;
        EXPECT_EQ(CFileMd5(FixturePath(name)).Digest(), digest) << name;
        sawEmpty = sawEmpty || name == "empty.bin";
        ++checked;
    }
    EXPECT_TRUE(sawEmpty);
    EXPECT_GE(checked, 8);
    EXPECT_EQ(CFileMd5(FixturePath("empty.bin")).Digest(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FileMd5Win, BlockEdgesAndBlockSizes) {
    const testing_support::TempFolder folder("varnel-file-md5");
    const std::filesystem::path& dir = folder.path();
    std::mt19937 rng(7);
    for (size_t size : {size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{2048}, size_t{70001}}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        const std::filesystem::path path = dir / ("f" + std::to_string(size));
        std::ofstream(path, std::ios::binary) << bytes;
        const std::string expected = digest::Md5Hex(bytes);
        EXPECT_EQ(CFileMd5(path.string()).Digest(), expected) << size;
        EXPECT_EQ(CFileMd5(path.string(), 4096).Digest(), expected) << size;
        EXPECT_EQ(CFileMd5(path.string(), 7).Digest(), expected) << size;
    }
}

TEST(FileMd5Win, UnreadableGivesEmpty) {
    EXPECT_EQ(CFileMd5(FixturePath("missing.bin")).Digest(), "");
    EXPECT_EQ(CFileMd5(FixturePath("")).Digest(), "");  // the folder itself
    EXPECT_EQ(CFileMd5("").Digest(), "");

    // A program holding the file open without sharing it: it cannot be read.
    const testing_support::TempFolder folder("varnel-md5-locked");
    const std::filesystem::path path = folder.path() / "locked.bin";
    HANDLE locker = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CFileMd5(path.string()).Digest(), "");
    ::CloseHandle(locker);
    EXPECT_EQ(CFileMd5(path.string()).Digest(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(FileMd5Win, AFileAnotherProgramWritesOrMayDeleteIsRead) {
    const testing_support::TempFolder folder("varnel-md5-shared");
    const std::filesystem::path path = folder.path() / "written.bin";
    HANDLE writer = ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, 0,
                                  nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(writer, "abc", 3, &written, nullptr));
    EXPECT_EQ(CFileMd5(path.string()).Digest(), "900150983cd24fb0d6963f7d28e17f72");
    ::CloseHandle(writer);
}

TEST(FileMd5Win, AStopEndsTheReadBetweenBlocks) {
    const testing_support::TempFolder folder("varnel-md5-stop");
    const std::filesystem::path path = folder.path() / "large.bin";
    const std::string bytes(10 * 4096, 'x');
    std::ofstream(path, std::ios::binary) << bytes;
    int asked = 0;
    // Asked before each block: the stop comes while the third is due.
    EXPECT_EQ(CFileMd5(path.string(), 4096).Digest([&] { return ++asked == 3; }), "");
    EXPECT_EQ(asked, 3);
    asked = 0;
    EXPECT_EQ(CFileMd5(path.string(), 4096).Digest([&] { return ++asked > 1000; }), digest::Md5Hex(bytes));
    EXPECT_EQ(asked, 11);  // ten blocks, and the read that finds the end
}

// The string digest converts through the system's ANSI code page on Windows.
TEST(StringDigestWin, HashesTheUtf8FormThroughTheSystemCodePage) {
    ASSERT_EQ(::GetACP(), 1252u);
    EXPECT_EQ(digest::StringDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(digest::StringDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digest::StringDigest("Caf\xE9"), digest::Md5Hex("Caf\xC3\xA9"));
    EXPECT_EQ(digest::StringDigest("\x80 1"), digest::Md5Hex("\xE2\x82\xAC 1"));
}
