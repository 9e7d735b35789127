// The MD5 fingerprint of a file through CryptoAPI, read sequentially one
// block at a time, so that hashing a large file holds no more than one block
// in memory. The block is 64 KiB: with 1 KiB blocks the per-call cost of the
// read and hash calls held hashing under Wine to about two thirds of md5sum's
// speed; from 64 KiB on it runs at the speed of the hash itself
// (bench/win/md5_throughput.sh).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace fileid {

class CFileMd5 {
public:
    static constexpr size_t kBlockSize = 64 * 1024;
    static constexpr size_t kMaxBlockSize = 1 << 20;

    // The block size is kBlockSize unless a caller (a benchmark) asks for
    // another; it is kept between 1 byte and kMaxBlockSize.

    explicit CFileMd5(std::string path, size_t blockSize = kBlockSize);

    // The file's MD5 as 32 lower-case hexadecimal digits, or an empty text
    // when the file cannot be opened or read, or the hash cannot be made. A
    // file whose data is not on this computer (remote_data.h) is not read.
    // `stopped`, when given, is asked before each block: once it answers
    // true the read ends and the digest is an empty text.
    std::string Digest(const std::function<bool()>& stopped = {}) const;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    size_t blockSize_;
};

}  // namespace fileid
