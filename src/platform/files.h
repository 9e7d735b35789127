// File operations the portable core needs. Paths are Windows-style 8-bit
// texts ("C:\\dir\\file"); on the host every backslash is read as a slash, so
// the core can build paths the same way on both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The path as the local file functions take it (host: backslashes become slashes).
std::string NativePath(const std::string& path);

bool FileExists(const std::string& path);       // a file or a folder
bool IsDirectory(const std::string& path);
std::optional<uint64_t> FileSize(const std::string& path);

// What tells one version of a file from another without reading it: its size
// and its last-write time (Windows: FILETIME, 100 ns units; host: nanoseconds).
struct FileStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;
    bool operator==(const FileStamp& other) const { return size == other.size && writeTime == other.writeTime; }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
// The stamp of a file (not a folder), or nothing when it cannot be read.
std::optional<FileStamp> StampOf(const std::string& path);
// How reading a whole file ended: a missing file (or one that cannot be
// opened, or a folder) is told apart from a file that opened but failed part
// way through, whose contents must not pass for a short file.
enum class ReadOutcome { kRead, kCannotOpen, kReadFailed };
// Reads the whole file into `contents`, which is left empty unless the
// outcome is kRead.
ReadOutcome ReadWholeFile(const std::string& path, std::string& contents);
// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes the bytes to a new file in the same folder, flushes it to disk, then
// moves it over `path`. On any failure the old file is left untouched and the
// temporary file is removed. True on success.
// The replacement keeps the replaced file's permission bits on POSIX systems
// (a new file gets the default ones); on Windows it has the permissions it
// inherits from the folder, which are the replaced file's unless someone set
// that file's own by hand. Saves of one file from several threads or
// processes at once each land whole. Stale temporaries of `path` are removed
// as well.
bool WriteFileAtomically(const std::string& path, std::string_view data);
// The temporary files that saves of `path` left behind when their process
// ended part way (killed, or lost with the machine) are removed; those of
// saves still running, in this process or another, are left alone. Answers
// how many were removed.
size_t RemoveStaleSaveTemporaries(const std::string& path);
// A save's temporary is named after its file, the saving process and thread
// and a counter: "<file name>.<process>.<thread>.<counter>.tmp". When
// `fileName` is such a name for the file named `targetName` (letters compared
// ignoring case, as Windows names are), the process that made it.
std::optional<uint32_t> SaveTemporaryProcess(std::string_view fileName, std::string_view targetName);
bool RemoveFile(const std::string& path);
// Creates the folder and every missing parent. True when it exists afterwards.
bool CreateDirectories(const std::string& path);

// The full path of the running program file.
std::string ProgramPath();
// The program's folder, up to and including its last backslash.
std::string ProgramFolder();
// The Windows folder without a trailing backslash (GetWindowsDirectory);
// "C:\\Windows" on the host.
std::string WindowsFolder();

// Text to the platform's debugger stream (OutputDebugString on Windows).
void DebugOutput(std::string_view text);

}  // namespace platform
