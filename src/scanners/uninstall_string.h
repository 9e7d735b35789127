// Uninstall command lines. An uninstall command names the program that
// removes a product, which says a lot about the product, but it also holds
// installation folders that differ from machine to machine. The changed
// uninstall string replaces every file path in the command line with the
// size of that file, which gives a location-free form for the product's
// signature. This file also runs an uninstall command.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The pattern of a file path in a command line: a drive letter, a colon,
// characters that are not a double quote, a colon or a comma, a dot and three
// letters or digits. The greedy repetition makes a path end at the last such
// extension before the next quote, colon or comma.
inline constexpr char kUninstallPathPattern[] = "{[a-zA-Z]\\:[^\"\\:\\,]+\\.[a-zA-Z0-9][a-zA-Z0-9][a-zA-Z0-9]}";

class VN_UninstallString {
public:
    // Stores the command line and collects the file paths in it.
    explicit VN_UninstallString(std::string commandLine);

    // The command line with every occurrence of every collected path replaced
    // by the file's size in bytes ("0" for a missing file, for a file that
    // cannot be opened and for any ".log" file). Computed afresh on each call.
    std::string GetChangedString();

    const std::string& GetCommandLine() const { return raw_; }
    // The paths found, in the order found (UTF-16).
    const std::vector<std::u16string>& GetPaths() const { return paths_; }

    // The result of starting a command line.
    struct RunResult {
        bool started = false;
        uint32_t error = 0;      // the system error when it could not be started
        std::string errorText;   // the system's message for it
    };
    // Starts a command line and waits for it to end; the platform's runner
    // (Windows: CreateProcess, waiting for the process and the processes it
    // started, see RunCommandAndWait) unless one is given.
    using CommandRunner = std::function<RunResult(const std::string& commandLine)>;
    // Runs the command and waits for it. When it cannot be started, prints
    // "CreateProcess failed (<code>).\n" to the standard output, writes
    // "*** ExeCommand failed: <command> \tError: error <code>: <message>" to
    // the log, and answers false.
    static bool RunUninstallCommand(const std::string& commandLine, const CommandRunner& runner = CommandRunner());

private:
    // Builds changed_ from raw_; a failure part-way keeps what was replaced.
    void ReplacePathWithSize();

    std::string raw_;
    std::string changed_;
    std::vector<std::u16string> paths_;
};

namespace scanners {

// The text that replaces a path in the changed uninstall string: "0" unless
// the file exists and is not a ".log" file; then its size from the file
// opened for reading (low 32 bits as a signed decimal number, "0" when it
// cannot be opened).
std::string PathReplacement(const std::string& path);

// Replaces every occurrence of `from` in `text` with `to`, left to right, the
// replaced text not searched again; occurrences start on whole characters of
// the ANSI code page.
std::string ReplaceAllOccurrences(const std::string& text, const std::string& from, const std::string& to);

// The size of a file opened for reading with read sharing; nothing when it
// cannot be opened as a file (Windows: CreateFile; host: open and fstat).
std::optional<uint64_t> OpenedFileSize(const std::string& path);

// Asked while an uninstall's started processes run: true once the work is
// done (the product's uninstall entry is gone), which ends the wait early.
using UninstallDone = std::function<bool()>;

// How long the wait goes on for processes an uninstaller started, counted
// from the end of the one it started itself.
inline constexpr uint32_t kStartedProcessesWaitMs = 30 * 60 * 1000;

// The platform's way to start a command line and wait for it (Windows:
// CreateProcess, no application name, no inheritance, no flags; a program
// that must run as administrator, as most uninstallers must, is started
// through the shell instead, which asks the user; the host starts nothing and
// reports ERROR_NOT_SUPPORTED). Most uninstallers copy themselves elsewhere,
// start the copy and exit at once, so the wait goes on past the started
// process's end while processes it started (and theirs) run, for at most
// kStartedProcessesWaitMs. `done`, when given, is asked about once a second
// once the started process has ended, and ends the wait as soon as it answers
// true: an uninstaller may open a browser at its end, which must not hold the
// caller. `owner` (an HWND, or null) is the window the administrator's
// consent is asked over: with none, the system's question may only flash in
// the taskbar. Environment variables in the command line ("%ProgramFiles%",
// as uninstall entries stored as expandable texts hold them) are expanded
// for the start only.
VN_UninstallString::RunResult RunCommandAndWait(const std::string& commandLine, const UninstallDone& done = {},
                                                void* owner = nullptr);
// The shell's way, used for those programs (Windows: ShellExecuteEx, which
// asks the user for an administrator's consent where the program needs it),
// waiting the same way. The calling thread should have COM (the shell may
// hand the start to an extension).
VN_UninstallString::RunResult RunThroughShellAndWait(const std::string& commandLine, const UninstallDone& done = {},
                                                     void* owner = nullptr);

// A process as a process snapshot lists it.
struct ListedProcess {
    uint32_t id = 0;
    uint32_t parentId = 0;
};
// A process whose end an uninstall waits for, with its creation time (any
// clock that orders the system's processes).
struct FollowedProcess {
    uint32_t id = 0;
    uint64_t created = 0;
};
// The listed processes that the wait takes on next: those whose parent is a
// followed process and that are not followed yet. A listed parent id may be
// that of an ended process whose id now names a followed one, so a process
// counts only when `createdAt` (asked only about those candidates) gives it a
// creation time no earlier than its parent's; one it answers nothing for
// (the process cannot be opened, or has ended) is left out. Followed
// processes must be held open, so that their ids are not reused.
std::vector<FollowedProcess> ProcessesToFollow(const std::vector<ListedProcess>& listed,
                                               const std::vector<FollowedProcess>& followed,
                                               const std::function<std::optional<uint64_t>(uint32_t id)>& createdAt);

// A command line as its program and that program's parameters, the program
// found as CreateProcess finds it: inside the leading double quotes, or else
// the shortest part up to a blank that names a file (`exists`, tried as it
// stands and with ".exe" added), or else up to the first blank.
struct CommandParts {
    std::string program;
    std::string parameters;
};
CommandParts SplitCommandLine(const std::string& commandLine, const std::function<bool(const std::string&)>& exists);

}  // namespace scanners
