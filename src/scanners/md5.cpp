#include "scanners/md5.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/codepage.h"
#include "platform/files.h"

namespace digest {

namespace {

inline uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

// Per-round shift amounts and the sine-derived constants of RFC 1321.
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

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
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = b + Rotl(a + f + kSine[i] + m[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
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

std::string ToHex(const CMd5::Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string out(32, '\0');
    for (size_t i = 0; i < digest.size(); ++i) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 15];
    }
    return out;
}

std::string Md5Hex(std::string_view bytes) {
    CMd5 md5;
    md5.Update(bytes);
    return ToHex(md5.Final());
}

std::string StringDigest(std::string_view ansi) {
    // Bytes below 128 are the same characters in every ANSI code page (none
    // of them leads a double-byte character) and in UTF-8: such a text needs
    // no conversion.
    bool ascii = true;
    for (const char c : ansi) ascii &= static_cast<unsigned char>(c) < 0x80;
    return Md5Hex(ascii ? ansi : std::string_view(platform::AnsiToUtf8(ansi)));
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
