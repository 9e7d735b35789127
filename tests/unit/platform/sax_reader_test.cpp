// What only the host reader (expat) does; the shared reader suite,
// sax_suite.cpp, is linked beside it.
#include "common/sax_suite.h"

namespace saxsuite {

TEST(SaxExpat, FileDeclaringTheAnsiCodePageIsReadThroughIt) {
    auto reader = Reader();
    ASSERT_TRUE(reader);
    TempFolder folder;
    Recorder rec;
    const std::string path =
        folder.Write("ansi.xml", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><t>\x80\xE9</t>");
    EXPECT_EQ(reader->ParseFile(path, rec), SaxResult::Complete);
    EXPECT_EQ(rec.events, (Events{"S:t", "T:\x80\xE9", "E:t"}));

    Recorder unknown;
    const std::string other = folder.Write("other.xml", "<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><t/>");
    EXPECT_EQ(reader->ParseFile(other, unknown), SaxResult::Malformed);
}

TEST(SaxFileUrl, BackslashesBecomeSlashesAfterThePrefix) {
    EXPECT_EQ(platform::FileUrlOf("C:\\Users\\A B\\AppData\\config.xml"), "file:///C:/Users/A B/AppData/config.xml");
    EXPECT_EQ(platform::FileUrlOf("C:/x\\y"), "file:///C:/x/y");
    EXPECT_EQ(platform::FileUrlOf("C:\\A #1\\100%.xml"), "file:///C:/A %231/100%25.xml");
}

}  // namespace saxsuite

namespace saxsuite {

TEST(SaxDeclaration, EncodingIsTakenOutOfTheDeclarationOnly) {
    using platform::WithoutDeclaredEncoding;
    EXPECT_EQ(WithoutDeclaredEncoding("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>"), "<?xml version=\"1.0\"?><r/>");
    EXPECT_EQ(WithoutDeclaredEncoding("<?xml version='1.0'\n  encoding = 'ISO-8859-1' standalone='yes'?><r/>"),
              "<?xml version='1.0' standalone='yes'?><r/>");
    // Not a declaration, or no encoding in it: unchanged.
    EXPECT_EQ(WithoutDeclaredEncoding("<r encoding=\"x\"/>"), "<r encoding=\"x\"/>");
    EXPECT_EQ(WithoutDeclaredEncoding("<?xml version=\"1.0\"?><r encoding=\"x\"/>"),
              "<?xml version=\"1.0\"?><r encoding=\"x\"/>");
    EXPECT_EQ(WithoutDeclaredEncoding(" <?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
              " <?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(WithoutDeclaredEncoding("<?xml-stylesheet encoding=\"x\"?>"), "<?xml-stylesheet encoding=\"x\"?>");
    EXPECT_EQ(WithoutDeclaredEncoding("<?xml version=\"1.0\" encoding=\"UTF-8"), "<?xml version=\"1.0\" encoding=\"UTF-8");
}

}  // namespace saxsuite
