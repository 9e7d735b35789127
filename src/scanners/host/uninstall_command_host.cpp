// Uninstall commands on the host: file sizes through the C library; command
// lines are Windows command lines, which the host does not start.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "scanners/uninstall_string.h"

namespace scanners {

std::optional<uint64_t> OpenedFileSize(const std::string& path) {
    const int fd = ::open(platform::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    const bool isFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!isFile) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

VN_UninstallString::RunResult RunCommandAndWait(const std::string&, const UninstallDone&, void*) {
    VN_UninstallString::RunResult result;
    result.error = 50;  // ERROR_NOT_SUPPORTED
    result.errorText = "The request is not supported.";
    return result;
}

VN_UninstallString::RunResult RunThroughShellAndWait(const std::string& commandLine, const UninstallDone& done,
                                                     void* owner) {
    return RunCommandAndWait(commandLine, done, owner);
}

}  // namespace scanners
