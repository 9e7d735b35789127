// The host's Windows-1252 table must agree with what Windows itself does, or
// host tests of text handling would prove nothing about the agent.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"

TEST(CodepageWin, SystemCodePageIsTheOneTheHostModels) { EXPECT_EQ(GetACP(), 1252u); }

TEST(CodepageWin, ConversionsMatchTheHostTable) {
    const char16_t expected80[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int i = 1; i < 256; ++i) {
        const std::string one(1, static_cast<char>(i));
        const std::u16string w = platform::AnsiToUtf16(one);
        ASSERT_EQ(w.size(), 1u) << i;
        const char16_t want = (i >= 0x80 && i < 0xA0) ? expected80[i - 0x80] : static_cast<char16_t>(i);
        EXPECT_EQ(w[0], want) << "byte " << i;
        EXPECT_EQ(platform::Utf16ToAnsi(w), one) << "byte " << i;
    }
    EXPECT_EQ(platform::Utf8ToAnsi("\xE4\xB8\xAD"), "?");
}

// A profile folder named after a user whose name the code page cannot hold:
// the 8-bit path the program gets for it must still lead there.
TEST(CodepageWin, AFolderNamedOutsideTheCodePageIsReachedThroughItsShortName) {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"Varnel \u0141ukasz \u4E2D";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string ansi = platform::AnsiPath(folder);
    EXPECT_EQ(ansi.find('?'), std::string::npos) << ansi;
    const DWORD attributes = GetFileAttributesA(ansi.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << ansi;
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // What the program writes through that path lands in the folder.
    const std::string probe = ansi + "\\probe.txt";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_NE(GetFileAttributesW((folder + L"\\probe.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // Only the name the code page cannot hold is shortened.
    EXPECT_EQ(platform::AnsiPath(folder + L"\\probe.txt"), ansi + "\\probe.txt");
    EXPECT_EQ(ansi.rfind(platform::Narrow(temp), 0), 0u) << ansi;
    DeleteFileW((folder + L"\\probe.txt").c_str());
    RemoveDirectoryW(folder.c_str());

    // A name the code page holds is kept as it is, not shortened.
    EXPECT_EQ(platform::AnsiPath(L"C:\\Caf\u00E9\\Data"), "C:\\Caf\xE9\\Data");
}
