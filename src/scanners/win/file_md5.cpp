#include "scanners/win/file_md5.h"

#include <memory>
#include <new>

#include "platform/win/crypt_handles.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "scanners/win/remote_data.h"

namespace fileid {

namespace {

using CryptContext = platform::UniqueCryptProv;
using CryptHash = platform::UniqueCryptHash;

}  // namespace

CFileMd5::CFileMd5(std::string path, size_t blockSize)
    : path_(std::move(path)),
      blockSize_(blockSize == 0 ? kBlockSize : (blockSize > kMaxBlockSize ? kMaxBlockSize : blockSize)) {}

std::string CFileMd5::Digest(const std::function<bool()>& stopped) const {
    const std::wstring wide = platform::Widen(path_);
    // Reading a file whose data is elsewhere would download it.
    if (IsDataElsewhere(wide)) return std::string();
    // Every sharing mode: a program the user runs, or one another program is
    // writing or replacing, is still read as it is at the moment.
    platform::UniqueFile file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::string();

    CryptContext provider;
    if (!::CryptAcquireContextA(provider.put(), nullptr, "Microsoft Base Cryptographic Provider v1.0", PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT))
        return std::string();
    CryptHash hash;
    if (!::CryptCreateHash(provider.get(), CALG_MD5, 0, 0, hash.put())) return std::string();

    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[blockSize_]);
    if (!block) return std::string();
    const DWORD want = static_cast<DWORD>(blockSize_);
    for (;;) {
        if (stopped && stopped()) return std::string();
        DWORD got = 0;
        if (!::ReadFile(file.get(), block.get(), want, &got, nullptr)) return std::string();
        if (got == 0) break;
        if (!::CryptHashData(hash.get(), block.get(), got, 0)) return std::string();
    }

    BYTE value[16];
    DWORD length = sizeof(value);
    if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0) || length != sizeof(value))
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(32);
    for (BYTE b : value) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex;
}

}  // namespace fileid
