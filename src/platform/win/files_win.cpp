#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/files.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace platform {

std::string NativePath(const std::string& path) { return path; }

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD a = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<uint64_t> FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    FileStamp stamp;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.writeTime =
        (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

ReadOutcome ReadWholeFile(const std::string& path, std::string& contents) {
    contents.clear();
    // Every sharing mode: a reader should stand in the way of others' saves
    // and deletions as little as the system allows.
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return ReadOutcome::kCannotOpen;
    // Room for the whole file at once: the chunks are appended without the
    // string regrowing (and copying what it holds) along the way.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) < contents.max_size())
        contents.reserve(static_cast<size_t>(size.QuadPart));
    char buf[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buf, sizeof buf, &got, nullptr)) {
            contents.clear();
            return ReadOutcome::kReadFailed;
        }
        if (got == 0) break;
        contents.append(buf, got);
    }
    return ReadOutcome::kRead;
}

namespace {

// A new, empty file beside `path` for a save to write: its name carries the
// process, the thread and a counter, so saves of the same file from two
// threads or two processes never share one. Opened without sharing.
UniqueFile CreateSaveTemporary(const std::string& path, std::string& tmp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        tmp = path + "." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetCurrentThreadId()) + "." +
              std::to_string(++counter) + ".tmp";
        // CREATE_NEW: a file left behind by a crashed save is never reused.
        UniqueFile file(CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueFile();
}

// Whether the process `pid` is running. A process that cannot be opened for
// want of rights is running; an identifier that names none is not.
bool ProcessIsRunning(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

}  // namespace

size_t RemoveStaleSaveTemporaries(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::vector<std::string> stale;
    WIN32_FIND_DATAA found;
    {
        UniqueFind find(FindFirstFileA((path + ".*.tmp").c_str(), &found));
        if (!find) return 0;
        do {
            const std::optional<uint32_t> owner = SaveTemporaryProcess(found.cFileName, name);
            if (owner && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !ProcessIsRunning(*owner))
                stale.push_back(folder + found.cFileName);
        } while (FindNextFileA(find.get(), &found));
    }
    size_t removed = 0;
    for (const std::string& file : stale)
        if (DeleteFileA(file.c_str())) ++removed;
    return removed;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    RemoveStaleSaveTemporaries(path);
    std::string tmp;
    bool ok;
    {
        UniqueFile file = CreateSaveTemporary(path, tmp);
        if (!file) return false;
        ok = true;
        size_t done = 0;
        while (ok && done < data.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
            DWORD wrote = 0;
            if (!WriteFile(file.get(), data.data() + done, chunk, &wrote, nullptr) || wrote == 0) ok = false;
            done += wrote;
        }
        if (ok && !FlushFileBuffers(file.get())) ok = false;
    }
    // Another save moving its file over `path` at this moment, or a scanner
    // (a virus checker, the indexer) holding it briefly, makes the move fail
    // for a moment: retry with growing waits, about 1.3 s in all.
    for (DWORD wait = 10; ok; wait *= 2) {
        if (MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
        const DWORD error = GetLastError();
        if (wait > 640 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) ok = false;
        else Sleep(wait);
    }
    if (!ok) DeleteFileA(tmp.c_str());
    return ok;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '\\' || path[pos] == '/') {
            const std::string part = path.substr(0, pos);
            // Skip drive roots ("C:") and the leading slashes of UNC names.
            if (part.empty() || (part.size() == 2 && part[1] == ':') || part.back() == '\\') continue;
            CreateDirectoryA(part.c_str(), nullptr);
        }
    }
    return IsDirectory(path);
}

std::string ProgramPath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) return AnsiPath(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);
    }
}

std::string ProgramFolder() {
    const std::string p = ProgramPath();
    const size_t pos = p.find_last_of('\\');
    return pos == std::string::npos ? std::string() : p.substr(0, pos + 1);
}

std::string WindowsFolder() {
    char folder[MAX_PATH + 1];
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::string() : std::string(folder, length);
}

void DebugOutput(std::string_view text) {
    std::string s(text);
    s += '\n';
    OutputDebugStringA(s.c_str());
}

}  // namespace platform
