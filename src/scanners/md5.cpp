#include "scanners/md5.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/codepage.h"
#include "platform/files.h"

namespace digest {

namespace {

inline uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

// The sine-derived constants of RFC 1321.
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

}  // namespace

void CMd5::Reset() {
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
    length_ = 0;
}

void CMd5::Block(const uint8_t* block) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = static_cast<uint32_t>(block[i * 4]) | static_cast<uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<uint32_t>(block[i * 4 + 2]) << 16 | static_cast<uint32_t>(block[i * 4 + 3]) << 24;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    // Each round in steps of four, the four words taking turns in place
    // (no shuffling of a, b, c, d per step), so that the compiler unrolls the
    // 64 steps with constant indexes and shifts. The round functions are the
    // RFC's in forms with one operation fewer.
    for (int i = 0; i < 16; i += 4) {
        a = b + Rotl(a + (d ^ (b & (c ^ d))) + kSine[i] + m[i], 7);
        d = a + Rotl(d + (c ^ (a & (b ^ c))) + kSine[i + 1] + m[i + 1], 12);
        c = d + Rotl(c + (b ^ (d & (a ^ b))) + kSine[i + 2] + m[i + 2], 17);
        b = c + Rotl(b + (a ^ (c & (d ^ a))) + kSine[i + 3] + m[i + 3], 22);
    }
    for (int i = 16; i < 32; i += 4) {
        a = b + Rotl(a + (c ^ (d & (b ^ c))) + kSine[i] + m[(5 * i + 1) % 16], 5);
        d = a + Rotl(d + (b ^ (c & (a ^ b))) + kSine[i + 1] + m[(5 * i + 6) % 16], 9);
        c = d + Rotl(c + (a ^ (b & (d ^ a))) + kSine[i + 2] + m[(5 * i + 11) % 16], 14);
        b = c + Rotl(b + (d ^ (a & (c ^ d))) + kSine[i + 3] + m[(5 * i + 16) % 16], 20);
    }
    for (int i = 32; i < 48; i += 4) {
        a = b + Rotl(a + (b ^ c ^ d) + kSine[i] + m[(3 * i + 5) % 16], 4);
        d = a + Rotl(d + (a ^ b ^ c) + kSine[i + 1] + m[(3 * i + 8) % 16], 11);
        c = d + Rotl(c + (d ^ a ^ b) + kSine[i + 2] + m[(3 * i + 11) % 16], 16);
        b = c + Rotl(b + (c ^ d ^ a) + kSine[i + 3] + m[(3 * i + 14) % 16], 23);
    }
    for (int i = 48; i < 64; i += 4) {
        a = b + Rotl(a + (c ^ (b | ~d)) + kSine[i] + m[(7 * i) % 16], 6);
        d = a + Rotl(d + (b ^ (a | ~c)) + kSine[i + 1] + m[(7 * i + 7) % 16], 10);
        c = d + Rotl(c + (a ^ (d | ~b)) + kSine[i + 2] + m[(7 * i + 14) % 16], 15);
        b = c + Rotl(b + (d ^ (c | ~a)) + kSine[i + 3] + m[(7 * i + 21) % 16], 21);
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void CMd5::Update(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t used = static_cast<size_t>(length_ % 64);
    length_ += size;
    if (used > 0) {
        const size_t take = size < 64 - used ? size : 64 - used;
        std::memcpy(buffer_ + used, p, take);
        used += take;
        p += take;
        size -= take;
        if (used < 64) return;
        Block(buffer_);
    }
    while (size >= 64) {
        Block(p);
        p += 64;
        size -= 64;
    }
    if (size > 0) std::memcpy(buffer_, p, size);
}

CMd5::Digest CMd5::Final() {
    const uint64_t bits = length_ * 8;
    static const uint8_t kPad[64] = {0x80};
    const size_t used = static_cast<size_t>(length_ % 64);
    Update(kPad, used < 56 ? 56 - used : 120 - used);
    uint8_t tail[8];
    for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (8 * i));
    Update(tail, 8);
    Digest out;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) out[i * 4 + k] = static_cast<uint8_t>(state_[i] >> (8 * k));
    Reset();
    return out;
}

namespace {

void HexInto(const CMd5::Digest& digest, char* out) {
    static const char kHex[] = "0123456789abcdef";
    for (size_t i = 0; i < digest.size(); ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 15];
    }
}

}  // namespace

std::string ToHex(const CMd5::Digest& digest) {
    std::string out(32, '\0');
    HexInto(digest, &out[0]);
    return out;
}

std::string Md5Hex(std::string_view bytes) {
    CMd5 md5;
    md5.Update(bytes);
    return ToHex(md5.Final());
}

std::string StringDigest(std::string_view ansi) {
    std::string out;
    AppendStringDigest(out, ansi);
    return out;
}

void AppendStringDigest(std::string& out, std::string_view ansi) {
    // Bytes below 128 are the same characters in every ANSI code page (none
    // of them leads a double-byte character) and in UTF-8: such a text needs
    // no conversion.
    bool ascii = true;
    for (const char c : ansi) ascii &= static_cast<unsigned char>(c) < 0x80;
    CMd5 md5;
    if (ascii) md5.Update(ansi);
    else md5.Update(platform::AnsiToUtf8(ansi));
    char hex[32];
    HexInto(md5.Final(), hex);
    out.append(hex, sizeof hex);
}

std::string FileMd5Hex(const std::string& path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(platform::NativePath(path).c_str(), "rb"));
    if (!file) return std::string();
    CMd5 md5;
    std::unique_ptr<char[]> block(new char[64 * 1024]);
    for (;;) {
        const size_t n = std::fread(block.get(), 1, 64 * 1024, file.get());
        if (n > 0) md5.Update(block.get(), n);
        if (n < 64 * 1024) break;
    }
    if (std::ferror(file.get())) return std::string();
    return ToHex(md5.Final());
}

}  // namespace digest
