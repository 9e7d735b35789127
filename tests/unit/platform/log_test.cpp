// The text log's line formats, truncation and its silence while closed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/vn_exception.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

class Log : public ::testing::Test {
protected:
    void TearDown() override { vnlog::Close(); }
    std::string Text() { return platform::ReadWholeFile(path_).value_or(""); }
    testing_support::TempFolder folder_{"vnlog"};
    std::string path_ = folder_.Path("vnlog.txt");
};

TEST_F(Log, LinesHaveTheirFormats) {
    ASSERT_TRUE(vnlog::Open(path_));
    vnlog::Write("Start checking for updates");
    vnlog::Write("Failed: ", std::runtime_error(std::string(300, 'e')));
    { CVnException e(1, "Fail to init xml parser!", 0x80004005u); }
    vnlog::Warning("VN_WatchList::AddOrMerge");
    vnlog::Warning("VN_WatchList::Save", true);
    vnlog::Close();

    const std::vector<std::string> lines = Lines(Text());
    ASSERT_EQ(lines.size(), 7u) << Text();
    // "%c" of the C runtime, then the text.
    const std::regex stamped(R"(^[^:]*\d\d:\d\d:\d\d[^:]*: (.*)$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, stamped)) << lines[0];
    EXPECT_EQ(m[1], "Log Begin");
    ASSERT_TRUE(std::regex_match(lines[1], m, stamped));
    EXPECT_EQ(m[1], "Start checking for updates");
    ASSERT_TRUE(std::regex_match(lines[2], m, stamped));
    EXPECT_EQ(m[1], "Failed: " + std::string(255, 'e'));
    EXPECT_EQ(lines[3], "***Fail to init xml parser! ErrorCode:80004005 VnError:1");
    EXPECT_EQ(lines[4], "*** Warning, exceptions in VN_WatchList::AddOrMerge");
    EXPECT_EQ(lines[5], "*** Warning, exceptions in VN_WatchList::Save in catch all block.");
    ASSERT_TRUE(std::regex_match(lines[6], m, stamped));
    EXPECT_EQ(m[1], "Log End");
}

TEST_F(Log, OpeningTruncatesAndAClosedLogWritesNothing) {
    ASSERT_TRUE(platform::WriteFileAtomically(path_, "old line\n"));
    vnlog::Write("before open");
    vnlog::WriteRaw("*** before open");
    ASSERT_TRUE(vnlog::Open(path_));
    vnlog::Close();
    vnlog::Write("after close");
    const std::string text = Text();
    EXPECT_EQ(text.find("old line"), std::string::npos);
    EXPECT_EQ(text.find("before open"), std::string::npos);
    EXPECT_EQ(text.find("after close"), std::string::npos);
    EXPECT_EQ(Lines(text).size(), 2u);
}

TEST_F(Log, AnUnopenableLogFailsQuietly) {
    EXPECT_FALSE(vnlog::Open(folder_.Path("missing/dir/vnlog.txt")));
    EXPECT_FALSE(vnlog::IsOpen());
    vnlog::Write("nowhere");
    { CVnException e(2, "no log", 0); }
}

}  // namespace
