// The internet mark of a downloaded file under Wine. Wine 8 registers no
// attachment services (CoCreateInstance answers REGDB_E_CLASSNOTREG), so
// here the mark is the "Zone.Identifier" stream we write ourselves, which
// Wine keeps and reads back; on Windows the attachment services write it.
#include <gtest/gtest.h>

#include "dlmgr/win/internet_mark.h"
#include "dlmgr/zone_identifier.h"
#include "dlmgr_win_support.h"
#include "platform/files.h"

namespace dlmgr {
namespace {

TEST(InternetMark, ADownloadedFileGetsTheInternetZoneBesideItsDataAndAMissingOneIsLeftAlone) {
    dlmgr_test::TempFolder folder;
    const std::string path = folder.File("setup.exe");
    const std::string url = "http://127.0.0.1:9/files/setup.exe";
    ASSERT_TRUE(platform::WriteFileAtomically(path, "MZ-data"));
    const InternetMarkResult result = MarkFromInternet(path, url);
    ASSERT_TRUE(result.how == InternetMark::kZoneStream || result.how == InternetMark::kAttachmentServices)
        << DescribeInternetMark(path, result);
    const auto stream = platform::ReadWholeFile(path + ":Zone.Identifier");
    ASSERT_TRUE(stream);
    if (result.how == InternetMark::kZoneStream) {
        EXPECT_EQ(*stream, ZoneIdentifierText(url));
        EXPECT_NE(result.detail.find("attachment services"), std::string::npos) << result.detail;
    } else {
        EXPECT_NE(stream->find("ZoneId=3"), std::string::npos) << *stream;
    }
    EXPECT_EQ(platform::ReadWholeFile(path).value_or(""), "MZ-data");
    DeleteFileA((path + ":Zone.Identifier").c_str());

    // Nothing to mark: no empty file is made in its place.
    const std::string missing = folder.File("gone.exe");
    EXPECT_EQ(MarkFromInternet(missing, url).how, InternetMark::kFileGone);
    EXPECT_FALSE(platform::FileExists(missing));
}

}  // namespace
}  // namespace dlmgr
