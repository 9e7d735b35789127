// The MD5 fingerprint of a file through CryptoAPI, read sequentially in small
// blocks so that hashing a large file holds no more than one block in memory.
#pragma once

#include <cstddef>
#include <string>

namespace fileid {

class CFileMd5 {
public:
    static constexpr size_t kBlockSize = 1024;
    static constexpr size_t kMaxBlockSize = 1 << 20;

    // The block size is kBlockSize unless a caller (a benchmark) asks for
    // another; it is kept between 1 byte and kMaxBlockSize.

    explicit CFileMd5(std::string path, size_t blockSize = kBlockSize);

    // The file's MD5 as 32 lower-case hexadecimal digits, or an empty text
    // when the file cannot be opened or read, or the hash cannot be made.
    std::string Digest() const;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    size_t blockSize_;
};

}  // namespace fileid
