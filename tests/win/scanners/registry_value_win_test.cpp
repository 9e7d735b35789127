// The scanners' registry value rule against values Wine's registry really
// stores: numbers, multi-strings, the 260-byte limit, unterminated data,
// unexpanded environment strings, blanks and characters outside ASCII.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scanners/win/registry_value.h"
#include "scanners_win_support.h"

using scanners::ReadRegistryValue;
using testsupport::TestRegistryKey;

TEST(RegistryValueWin, NumbersAreSignedDecimal) {
    TestRegistryKey key("regvalue-numbers");
    const int32_t negative = -5, positive = 1033;
    const uint32_t allOnes = 0xFFFFFFFFu, top = 0x80000000u;
    key.Set("", "Negative", REG_DWORD, &negative, 4);
    key.Set("", "Positive", REG_DWORD, &positive, 4);
    key.Set("", "AllOnes", REG_DWORD, &allOnes, 4);
    key.Set("", "Top", REG_DWORD, &top, 4);
    key.Set("", "Short", REG_DWORD, &positive, 2);  // a damaged number reads as nothing
    EXPECT_EQ(ReadRegistryValue(key.get(), "Negative"), "-5");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Positive"), "1033");
    EXPECT_EQ(ReadRegistryValue(key.get(), "AllOnes"), "-1");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Top"), "-2147483648");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Short"), "");
}

TEST(RegistryValueWin, TextTypesGiveTheirFirstStringTrimmed) {
    TestRegistryKey key("regvalue-text");
    const char multi[] = "  first \0second\0";
    key.Set("", "Multi", REG_MULTI_SZ, multi, sizeof multi);
    key.SetText("", "Expand", "%SystemRoot%\\system32\\drivers\\x.sys", REG_EXPAND_SZ);
    key.SetText("", "Blanks", " \t 6.1.7600.16385 \r\n");
    const char binary[] = {'a', 'b', 'c', '\0', 'd', 'e'};
    key.Set("", "Binary", REG_BINARY, binary, sizeof binary);
    key.SetText("", "Accented", "Pilote r\xE9seau \x80");
    key.SetText("", "Empty", "");

    EXPECT_EQ(ReadRegistryValue(key.get(), "Multi"), "first");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Expand"), "%SystemRoot%\\system32\\drivers\\x.sys");  // not expanded
    EXPECT_EQ(ReadRegistryValue(key.get(), "Blanks"), "6.1.7600.16385");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Binary"), "abc");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Accented"), "Pilote r\xE9seau \x80");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Empty"), "");
    EXPECT_EQ(ReadRegistryValue(key.get(), "Missing"), "");

    // Stored as UTF-16 with a character the ANSI code page lacks.
    const wchar_t wide[] = L"Treiber \x4E2D";
    ASSERT_EQ(RegSetValueExW(key.get(), L"Wide", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide), sizeof wide),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Wide"), "Treiber ?");
}

TEST(RegistryValueWin, ValuesBeyondTheBufferReadAsEmpty) {
    TestRegistryKey key("regvalue-size");
    const std::string fits(259, 'a');      // 260 bytes with its terminator
    const std::string tooLong(260, 'b');   // 261 bytes
    key.SetText("", "Fits", fits);
    key.SetText("", "TooLong", tooLong);
    const std::string almost(258, 'c');    // 259 bytes
    key.SetText("", "Almost", almost);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Almost"), almost);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Fits"), fits);
    EXPECT_EQ(ReadRegistryValue(key.get(), "TooLong"), "");

    // Data stored without a terminator is read to its end and not a byte
    // further: text one byte short of the buffer, binary data filling it.
    const std::string unterminated(259, 'u');
    key.Set("", "Unterminated", REG_SZ, unterminated.data(), 259);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Unterminated"), unterminated);
    const std::string binary(260, 'z');
    key.Set("", "Binary260", REG_BINARY, binary.data(), 260);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Binary260"), binary);
    key.Set("", "Binary261", REG_BINARY, (binary + "z").data(), 261);
    EXPECT_EQ(ReadRegistryValue(key.get(), "Binary261"), "");
}
