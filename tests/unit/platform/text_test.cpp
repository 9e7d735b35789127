#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/text.h"

using namespace textutil;

TEST(Text, CompareNoCaseFoldsAsciiOnly) {
    EXPECT_EQ(CompareNoCase("Hello", "hELLO"), 0);
    EXPECT_LT(CompareNoCase("abc", "abd"), 0);
    EXPECT_GT(CompareNoCase("abc", "ab"), 0);
    // Bytes above 127 are not folded: 0xC9 (E acute) and 0xE9 (e acute) differ.
    EXPECT_NE(CompareNoCase("\xC9", "\xE9"), 0);
    // '_' (0x5F) sorts after upper-case letters but before lower-case ones; folding
    // to lower case puts it before letters, as the C runtime's _stricmp does.
    EXPECT_LT(CompareNoCase("_", "a"), 0);
    EXPECT_LT(CompareNoCase("_", "A"), 0);
}

TEST(Text, TrimUsesCRuntimeWhiteSpace) {
    EXPECT_EQ(Trim(" \t\r\n\v\fabc d \t"), "abc d");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    // A non-breaking space (0xA0) is not white space for the C runtime.
    EXPECT_EQ(Trim("\xA0x"), "\xA0x");
}

TEST(Text, PathParts) {
    EXPECT_EQ(FileNameOf("C:\\dir\\prog.EXE"), "prog.EXE");
    EXPECT_EQ(ExtensionOf("C:\\dir.d\\prog.EXE"), "EXE");
    EXPECT_EQ(ExtensionOf("C:\\dir.d\\prog"), "");
    EXPECT_TRUE(EndsWithNoCase("x.LNK", ".lnk"));
    EXPECT_EQ(FindNoCase("Shortcut to Foo", "TO F"), 9u);
}

TEST(Text, FormatGrowsPastSmallBuffer) {
    const std::string big(1000, 'x');
    EXPECT_EQ(Format("%s|%d", big.c_str(), 42), big + "|42");
}

TEST(Codepage, Windows1252RoundTripOfEveryByte) {
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    const std::u16string wide = platform::AnsiToUtf16(all);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
    EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
    EXPECT_EQ(platform::Utf16ToAnsi(wide), all);
}

TEST(Codepage, Utf8OfAnsiText) {
    EXPECT_EQ(platform::AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(platform::Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    // A character the code page lacks becomes '?'.
    EXPECT_EQ(platform::Utf8ToAnsi("\xE4\xB8\xAD"), "?");
    // Malformed UTF-8 never crashes and yields replacement characters.
    EXPECT_EQ(platform::Utf8ToUtf16("\xC3").size(), 1u);
}

TEST(Text, MenuLabelDoublesEveryAmpersand) {
    EXPECT_EQ(MenuLabel("AT&T Client"), "AT&&T Client");
    EXPECT_EQ(MenuLabel("&&x&"), "&&&&x&&");
    EXPECT_EQ(MenuLabel("Plain"), "Plain");
}
