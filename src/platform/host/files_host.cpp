#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"

namespace platform {

std::string NativePath(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<uint64_t> FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.writeTime =
        static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return stamp;
}

ReadOutcome ReadWholeFile(const std::string& path, std::string& contents) {
    contents.clear();
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadOutcome::kCannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // as on Windows, a folder does not open as a file
        ::close(fd);
        return ReadOutcome::kCannotOpen;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            contents.clear();
            return ReadOutcome::kReadFailed;
        }
        if (n == 0) break;
        contents.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadOutcome::kRead;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    const std::string target = NativePath(path);
    std::string tmp = target + ".XXXXXX";
    const int fd = ::mkstemp(&tmp[0]);
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok) ::chmod(tmp.c_str(), 0644);
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool RemoveFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool CreateDirectories(const std::string& path) {
    const std::string p = NativePath(path);
    for (size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos == p.size() || p[pos] == '/') {
            const std::string part = p.substr(0, pos);
            if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return IsDirectory(path);
}

std::string ProgramPath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string ProgramFolder() {
    const std::string p = ProgramPath();
    const size_t pos = p.find_last_of('/');
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

std::string WindowsFolder() { return "C:\\Windows"; }

void DebugOutput(std::string_view) {}

}  // namespace platform
