#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <vector>

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
    // Room for the whole file at once: the chunks are appended without the
    // string regrowing (and copying what it holds) along the way.
    if (st.st_size > 0 && static_cast<unsigned long long>(st.st_size) < contents.max_size())
        contents.reserve(static_cast<size_t>(st.st_size));
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

namespace {

// The folder part of a native path ("." when it has none).
std::string FolderOf(const std::string& nativePath) {
    const size_t slash = nativePath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : nativePath.substr(0, slash);
}

// A new, empty file beside `target` for a save to write, named after the
// process, the thread and a counter so that no two saves ever share one
// (the stale-temporary clean-up reads the process back from the name). Its
// permissions are the default ones (0666 less the umask) until the save sets
// them.
int CreateSaveTemporary(const std::string& target, std::string& tmp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        tmp = target + "." + std::to_string(::getpid()) + "." + std::to_string(::gettid()) + "." +
              std::to_string(++counter) + ".tmp";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Whether the process `pid` is running (a process of another user counts).
bool ProcessIsRunning(uint32_t pid) {
    if (pid == 0 || pid > static_cast<uint32_t>(std::numeric_limits<pid_t>::max())) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

size_t RemoveStaleSaveTemporaries(const std::string& path) {
    const std::string target = NativePath(path);
    const std::string folder = FolderOf(target);
    const std::string name = target.substr(target.find_last_of('/') + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::optional<uint32_t> owner = SaveTemporaryProcess(entry->d_name, name);
        if (owner && !ProcessIsRunning(*owner)) stale.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(dir);
    size_t removed = 0;
    for (const std::string& file : stale)
        if (::unlink(file.c_str()) == 0) ++removed;
    return removed;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    const std::string target = NativePath(path);
    RemoveStaleSaveTemporaries(path);
    std::string tmp;
    const int fd = CreateSaveTemporary(target, tmp);
    if (fd < 0) return false;
    bool ok = true;
    // The replaced file's permissions carry over: a private file stays private.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 0777) != 0) ok = false;
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename lives in the folder: flush it too, so that the replacement
    // outlasts a power loss. Its failure is not the save's: the new contents
    // are in place already, and false would tell the caller the old file stayed.
    const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
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
