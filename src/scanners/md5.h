// MD5 (RFC 1321) and the digests built on it: the string digest that
// identifies products to the service, and a portable file digest for tools.
// The agent's own file digest goes through CryptoAPI (CFileMd5); both give
// the same 32 lower-case hexadecimal digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace digest {

class CMd5 {
public:
    using Digest = std::array<uint8_t, 16>;

    CMd5() { Reset(); }
    void Reset();
    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // The digest of everything given since the last Reset; the object is then
    // reset for the next message.
    Digest Final();

private:
    void Block(const uint8_t* block);

    uint32_t state_[4];
    uint64_t length_;  // bytes so far
    uint8_t buffer_[64];
};

// "%02x" of each byte: 32 lower-case hexadecimal digits.
std::string ToHex(const CMd5::Digest& digest);

// The MD5 of the bytes, in hexadecimal.
std::string Md5Hex(std::string_view bytes);

// The string digest: the 8-bit text (ANSI code page) converted to UTF-16 and
// then to UTF-8, hashed without a terminator. An empty text gives the digest
// of zero bytes.
std::string StringDigest(std::string_view ansi);
// The same 32 digits appended to `out` (no text of its own to allocate).
void AppendStringDigest(std::string& out, std::string_view ansi);

// The MD5 of a file's bytes, read in blocks, or an empty text when the file
// cannot be opened or read.
std::string FileMd5Hex(const std::string& path);

}  // namespace digest
