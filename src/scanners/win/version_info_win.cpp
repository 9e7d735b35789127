// The version information of a file through the version API: the whole
// resource is read with GetFileVersionInfo and every question goes to
// VerQueryValue.
#include <cstring>
#include <new>

#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "scanners/version_info.h"
#include "scanners/win/remote_data.h"

namespace fileid {

namespace {

class CWinVersionInfo final : public IVersionInfo {
public:
    CWinVersionInfo(std::unique_ptr<BYTE[]> data, DWORD size) : data_(std::move(data)), size_(size) {}

    std::optional<FixedFileInfo> Fixed() const override {
        const void* p = nullptr;
        UINT length = 0;
        if (!Query("\\", &p, &length) || length < sizeof(VS_FIXEDFILEINFO) || !Inside(p, sizeof(VS_FIXEDFILEINFO)))
            return std::nullopt;
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(p);
        return FixedFileInfo{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                             fixed->dwProductVersionLS};
    }

    std::optional<Translation> FirstTranslation() const override {
        const void* p = nullptr;
        UINT length = 0;
        if (!Query("\\VarFileInfo\\Translation", &p, &length) || length < 4 || !Inside(p, 4)) return std::nullopt;
        const auto* words = static_cast<const WORD*>(p);
        return Translation{words[0], words[1]};
    }

    bool HasBlock(std::string_view subBlock) const override {
        const void* p = nullptr;
        UINT length = 0;
        return Query(subBlock, &p, &length);
    }

    // The block's value is followed by its children; the first child's header
    // (length, value length, type) comes before its key. Only a block without
    // a value of its own (as "\\StringFileInfo" is) is read this way.
    std::optional<std::string> FirstChildKey(std::string_view subBlock) const override {
        const void* p = nullptr;
        UINT length = 0;
        if (!Query(subBlock, &p, &length) || length != 0) return std::nullopt;
        const BYTE* child = static_cast<const BYTE*>(p);
        if (!Inside(child, 6)) return std::nullopt;
        const WORD childLength = *reinterpret_cast<const WORD*>(child);
        if (childLength < 6) return std::nullopt;
        return WideText(child + 6, (childLength - 6) / 2);
    }

    std::optional<std::string> Text(std::string_view subBlock) const override {
        const void* p = nullptr;
        UINT length = 0;
        if (!Query(subBlock, &p, &length)) return std::nullopt;
        return WideText(static_cast<const BYTE*>(p), length);
    }

private:
    bool Query(std::string_view subBlock, const void** p, UINT* length) const {
        const std::wstring wide = platform::Widen(subBlock);
        void* out = nullptr;
        UINT n = 0;
        if (!::VerQueryValueW(data_.get(), wide.c_str(), &out, &n) || !out) return false;
        *p = out;
        *length = n;
        return true;
    }

    bool Inside(const void* p, size_t bytes) const {
        const BYTE* b = static_cast<const BYTE*>(p);
        return b >= data_.get() && b <= data_.get() + size_ && static_cast<size_t>(data_.get() + size_ - b) >= bytes;
    }

    // At most `units` UTF-16 units from p, up to the first NUL and never past the buffer.
    std::string WideText(const BYTE* p, size_t units) const {
        if (!Inside(p, 0)) return std::string();
        const size_t room = static_cast<size_t>(data_.get() + size_ - p) / 2;
        if (units > room) units = room;
        const auto* text = reinterpret_cast<const wchar_t*>(p);
        size_t n = 0;
        while (n < units && text[n] != L'\0') ++n;
        return platform::Narrow(std::wstring_view(text, n));
    }

    std::unique_ptr<BYTE[]> data_;
    DWORD size_;
};

}  // namespace

VersionBytesRead ReadVersionBytes(const std::string& path) {
    VersionBytesRead read;
    const std::wstring wide = platform::Widen(path);
    // A program file that is not there is the common failure (items whose
    // program was removed). Its attributes say so at the cost of one lookup,
    // where the version API loads the path as a module, then tries it as an
    // older image format, before it fails with the same error.
    const DWORD attributes = ScannedFileAttributes(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            read.result = FromSystemError(error);
            return read;
        }
    }
    // A file whose data is elsewhere would be downloaded by the read; it is
    // reported as not available now, a failure the file cache does not keep.
    if (IsDataElsewhere(attributes)) {
        read.result = FromSystemError(ERROR_FILE_OFFLINE);
        return read;
    }
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &handle);
    if (size == 0) {
        read.result = FromSystemError(::GetLastError());
        return read;
    }
    try {
        read.bytes.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        read.result = kOutOfMemory;
        return read;
    }
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, read.bytes.data())) {
        read.result = FromSystemError(::GetLastError());
        read.bytes.clear();
        return read;
    }
    read.result = kOk;
    return read;
}

std::unique_ptr<IVersionInfo> VersionInfoFromBytes(std::string_view bytes) {
    // Five spare zero bytes beyond the reported size: a text at the very end
    // of the resource still ends in zeros.
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[bytes.size() + 5]());
    if (!data) return nullptr;
    std::memcpy(data.get(), bytes.data(), bytes.size());
    return std::make_unique<CWinVersionInfo>(std::move(data), static_cast<DWORD>(bytes.size()));
}

}  // namespace fileid
