#include "scanners/md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/temp_folder.h"

using digest::Md5Hex;

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, PiecesGiveTheSameDigestAsTheWhole) {
    std::mt19937 rng(1);
    std::string data(3000, '\0');
    for (char& c : data) c = static_cast<char>(rng());
    // Lengths around the 56- and 64-byte padding boundaries, fed in random pieces.
    for (size_t len : {0u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 3000u}) {
        const std::string whole = data.substr(0, len);
        digest::CMd5 md5;
        size_t at = 0;
        while (at < len) {
            const size_t n = std::min<size_t>(len - at, rng() % 100);
            md5.Update(whole.data() + at, n);
            at += n;
        }
        EXPECT_EQ(digest::ToHex(md5.Final()), Md5Hex(whole)) << len;
        // Final resets the object for the next message.
        md5.Update("abc");
        EXPECT_EQ(digest::ToHex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
    }
}

TEST(Md5, StringDigestHashesTheUtf8FormOfAnsiText) {
    EXPECT_EQ(digest::StringDigest(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(digest::StringDigest("abc"), "900150983cd24fb0d6963f7d28e17f72");
    // "Caf\xE9" is hashed as the UTF-8 bytes 43 61 66 C3 A9, the euro sign as E2 82 AC.
    EXPECT_EQ(digest::StringDigest("Caf\xE9"), "4655bd14eebfaf444e5b33d6851dbbd0");
    EXPECT_EQ(digest::StringDigest("\x80 1"), "755bfb3e3251472a899e8c3a72d1aae6");
}

namespace {

std::string Md5sumOf(const std::string& path) {
    const std::string command = "md5sum '" + path + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    char out[33] = {};
    const size_t n = std::fread(out, 1, 32, pipe);
    pclose(pipe);
    return std::string(out, n);
}

}  // namespace

TEST(Md5, FileDigestMatchesMd5sum) {
    const testing_support::TempFolder folder("varnel-md5");
    const std::filesystem::path& dir = folder.path();
    std::mt19937 rng(2);
    for (size_t size : {size_t{0}, size_t{1}, size_t{1024}, size_t{65536}, size_t{65537}, size_t{300001}}) {
        const std::string path = (dir / ("f" + std::to_string(size))).string();
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        std::ofstream(path, std::ios::binary) << bytes;
        const std::string expected = Md5sumOf(path);
        ASSERT_EQ(expected.size(), 32u);
        EXPECT_EQ(digest::FileMd5Hex(path), expected) << size;
    }
    EXPECT_EQ(digest::FileMd5Hex((dir / "missing").string()), "");
    EXPECT_EQ(digest::FileMd5Hex(dir.string()), "");  // a folder is not a file
}
