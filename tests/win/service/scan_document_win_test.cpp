// The scan document on Windows: written to a file opened in text mode, with
// the real file digests (CryptoAPI) of the program files it names.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/scan_document_support.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/watch_item.h"
#include "platform/files.h"
#include "platform/text.h"
#include "scanners/md5.h"

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(ScanDocumentWin, FileInTextModeGetsCrLfAndRealDigests) {
    scandoc::Environment env;
    // The platform's own digests and icons this time.
    const testing_support::ScopedHook<vnxml::InstallScanDocumentServices> platformServices(nullptr);

    VN_ListBase watch;
    auto self = std::make_unique<VN_WatchItem>();
    self->targetName = platform::ProgramPath();
    self->executableName = textutil::FileNameOf(self->targetName);
    self->progName = "Test\nProgram";
    watch.AddTail(std::move(self));

    auto buffer = scandoc::MakeBuffer(&watch, nullptr, vnxml::kCheckRequest);
    const testing_support::TempFolder folder("varnel-submit-test");
    const std::filesystem::path path = folder.path() / "submit.xml";
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    ASSERT_NE(file, nullptr);
    const bool failed = buffer->WriteDocument(file);
    std::fclose(file);
    const std::string bytes = ReadBytes(path);
    EXPECT_FALSE(failed);

    // Every line feed reached the file as CR LF, and nothing else changed.
    std::string lines;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            ASSERT_LT(i + 1, bytes.size());
            ASSERT_EQ(bytes[i + 1], '\n') << i;
            continue;
        }
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << i;
        }
        lines += bytes[i];
    }
    auto again = scandoc::MakeBuffer(&watch, nullptr, vnxml::kCheckRequest);
    EXPECT_EQ(lines, scandoc::Write(*again).second);
    EXPECT_NE(bytes.find("<ScanStartMenu>true</ScanStartMenu><CheckForUpdatesInterval>1440<"), std::string::npos);
    EXPECT_NE(bytes.find("\t<ProgName>Test\r\nProgram</ProgName>\r\n"), std::string::npos);

    // The program's own digest (CryptoAPI) is the portable MD5 of the same file.
    const std::string digest = digest::FileMd5Hex(platform::ProgramPath());
    ASSERT_EQ(digest.size(), 32u);
    EXPECT_NE(bytes.find("<matchdata type=\"MD5\">" + digest + "</matchdata>"), std::string::npos);
    EXPECT_NE(bytes.find("<Md5Id src=\"exe\">" + digest + "</Md5Id><ProcessIdentity>"), std::string::npos);
}

}  // namespace
