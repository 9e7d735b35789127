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
bool WriteFileAtomically(const std::string& path, std::string_view data);
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
