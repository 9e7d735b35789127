// Helpers of the Windows tests run under Wine: paths between the Linux side
// (the build tree, Unix tools) and the Windows side, and starting programs.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace testing_wine {

// A Linux path as Wine's Z: drive shows it ("/a/b" -> "Z:\a\b"); a path that
// is not absolute on Linux (a native Windows build's) only gets backslashes.
std::string WindowsPathOf(const std::string& unixPath);
// A path of the build tree (relative to its top) as Windows sees it.
std::string BuildPath(const std::string& relative);
// Wine's Linux name of a Windows path; empty when not under Wine.
std::string UnixPathOf(const std::string& windowsPath);

// Runs a command line to its end (at most `limit`) and answers its exit code;
// -1 when it did not start or did not end in time (it is then ended).
long RunAndWait(const std::string& commandLine, std::chrono::milliseconds limit = std::chrono::minutes(5));

// Starts a command line without waiting; true when it started. `program`,
// when given, is the file to run (a Linux program, say, which Wine starts
// without a process handle to wait on).
bool Start(const std::string& commandLine, const std::string& program = std::string());

// Ends every running process whose program file is named `fileName` (as
// "name.exe"), waiting a little for each to go.
void EndProcessesNamed(const std::wstring& fileName);

}  // namespace testing_wine
