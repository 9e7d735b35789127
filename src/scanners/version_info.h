// A file's version resource, asked the way the version API asks it: by
// sub-block paths such as "\\StringFileInfo\\040904e4\\ProductName". The
// choice of names and version texts (file_identity.h) is written once over
// this interface; the Windows adapter answers it through VerQueryValue, the
// portable parser (version_resource.h) from the resource's bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fileid {

// The result codes of the readers: 0 for success, else a COM-style code.
using HResult = int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFFu);   // E_UNEXPECTED
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);  // E_OUTOFMEMORY
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);         // E_FAIL

// A system error code as a result code (HRESULT_FROM_WIN32). An error code of
// 0 means the system gave no reason; it still is a failure and becomes kFail.
HResult FromSystemError(uint32_t error);

// System error codes the portable reader reports (the same values as Windows).
inline constexpr uint32_t kErrorFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND

// The version numbers of VS_FIXEDFILEINFO: most and least significant double words.
struct FixedFileInfo {
    uint32_t fileVersionMS = 0;
    uint32_t fileVersionLS = 0;
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
};

// One language and code page pair of "\\VarFileInfo\\Translation".
struct Translation {
    uint16_t language = 0;
    uint16_t codePage = 0;
};

class IVersionInfo {
public:
    virtual ~IVersionInfo() = default;

    // The root block "\\": nothing when it holds no complete VS_FIXEDFILEINFO.
    virtual std::optional<FixedFileInfo> Fixed() const = 0;
    // The first pair of "\\VarFileInfo\\Translation", if the table has one.
    virtual std::optional<Translation> FirstTranslation() const = 0;
    // True when the block (or value) exists, for example "\\StringFileInfo".
    virtual bool HasBlock(std::string_view subBlock) const = 0;
    // The key of the first block under the given one, converted from UTF-16
    // through the ANSI code page; nothing when it has no child.
    virtual std::optional<std::string> FirstChildKey(std::string_view subBlock) const = 0;
    // A string value (up to its first NUL) in the ANSI code page; nothing when
    // the value does not exist.
    virtual std::optional<std::string> Text(std::string_view subBlock) const = 0;
};

// What the platform read of a file's version information gave: kOk with the
// information, or the failure (the system error of the size query or the read,
// or kOutOfMemory) and no information.
struct VersionInfoRead {
    HResult result = kFail;
    std::unique_ptr<IVersionInfo> info;
};

// Reads the version information of a file: from the process's file cache
// (file_cache.h) when one is open and knows the file as it is now, else from
// the file (ReadVersionBytes), whose answer the cache then keeps.
VersionInfoRead ReadVersionInfo(const std::string& path);

// The platform's read of a file's version information as bytes: kOk with the
// bytes, or the failure and no bytes (Windows: GetFileVersionInfoSize and
// GetFileVersionInfo; host: the version resource of a PE image).
struct VersionBytesRead {
    HResult result = kFail;
    std::string bytes;
};
VersionBytesRead ReadVersionBytes(const std::string& path);
// The version information the bytes of a successful ReadVersionBytes hold, read
// as the platform reads them; nullptr when there is no memory for it (Windows)
// or the bytes are no version resource (host).
std::unique_ptr<IVersionInfo> VersionInfoFromBytes(std::string_view bytes);

}  // namespace fileid
