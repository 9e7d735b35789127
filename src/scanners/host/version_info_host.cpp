// The version information of a file on the host: the version resource of a
// Windows program image (PE), found and parsed by the portable reader. The
// file is mapped rather than read, so a large file costs no memory.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "scanners/version_resource.h"

namespace fileid {

namespace {

class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            opened_ = true;
            if (st.st_size > 0) {
                void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
                if (p != MAP_FAILED) {
                    data_ = p;
                    size_ = static_cast<size_t>(st.st_size);
                }
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(data_, size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool Opened() const { return opened_; }
    std::string_view Bytes() const { return data_ ? std::string_view(static_cast<const char*>(data_), size_) : ""; }

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    bool opened_ = false;
};

}  // namespace

VersionBytesRead ReadVersionBytes(const std::string& path) {
    VersionBytesRead read;
    const std::string native = platform::NativePath(path);
    // A program file that is not there is the common failure (items whose
    // program was removed): a lookup of its attributes says so for about half
    // the cost of a failed open, which makes a file object before it fails.
    struct stat st;
    if (::stat(native.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        read.result = FromSystemError(kErrorFileNotFound);
        return read;
    }
    MappedFile file(native);
    if (!file.Opened()) {
        read.result = FromSystemError(kErrorFileNotFound);
        return read;
    }
    const std::optional<std::string_view> resource = FindVersionResource(file.Bytes());
    if (!resource || !CVersionResource::Parse(*resource)) {
        read.result = FromSystemError(kErrorResourceTypeNotFound);
        return read;
    }
    read.result = kOk;
    read.bytes.assign(resource->data(), resource->size());
    return read;
}

std::unique_ptr<IVersionInfo> VersionInfoFromBytes(std::string_view bytes) { return CVersionResource::Parse(bytes); }

}  // namespace fileid
