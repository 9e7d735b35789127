// The pattern engine's idea of a character must agree with Windows' own on a
// double-byte code page, where names are 8-bit text whose second bytes may be
// backslashes or letters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/regexp.h"
#include "platform/win/win.h"

namespace {

bool Lead932(unsigned char b) { return IsDBCSLeadByteEx(932, b) != FALSE; }

std::string To932(const std::wstring& w) {
    const int n = WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(932, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring From932(const std::string& s) {
    const int n = MultiByteToWideChar(932, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

}  // namespace

TEST(RegExpWin, CharactersAreThoseOfTheCodePage) {
    // Katakana "so" (0x83 0x5C) and the kanji for "display" (0x95 0x5C) end in
    // a backslash byte.
    const std::wstring wide = L"\x30BD\x30D5\x30C8 \x8868\x793A v2 (Remove Only)";
    const std::string text = To932(wide);
    ASSERT_GT(text.size(), wide.size());

    VN_RegExp re;
    ASSERT_TRUE(re.Compile(".", true, Lead932));
    std::vector<VN_RegExpMatch> all;
    ASSERT_EQ(re.FindAll(text, &all), VN_MatchStatus::Matched);
    EXPECT_EQ(all.size(), wide.size());

    // No backslash of the text stands alone, and the name rewrite leaves the
    // double-byte part whole.
    ASSERT_TRUE(re.Compile("\\\\", true, Lead932));
    EXPECT_FALSE(re.Matches(text));
    ASSERT_TRUE(re.Compile("{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oN|nL|lY|y\\b*\\)\\b*}", true, Lead932));
    VN_RegExpMatch m;
    ASSERT_EQ(re.Match(text, 0, &m), VN_MatchStatus::Matched);
    EXPECT_EQ(From932(text.substr(0, m.groups[0].begin)), L"\x30BD\x30D5\x30C8 \x8868\x793A v2");

    // A pattern made of the same characters repeats the whole last character.
    ASSERT_TRUE(re.Compile(To932(L"\x30BD*\x30D5"), true, Lead932));
    EXPECT_TRUE(re.Matches(To932(L"x\x30BD\x30BD\x30D5")));
}

TEST(RegExpWin, SystemCodePageHasSingleByteCharacters) {
    // With the default code page (1252 here) bytes above 0x7F are characters
    // of their own.
    VN_RegExp re;
    ASSERT_TRUE(re.Compile("^Caf.\\b*\\(R|remove\\b+O|only\\)$"));
    EXPECT_TRUE(re.Matches("Caf\xE9 (remove only)"));
}
