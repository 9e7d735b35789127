// Decisions of the self-update that need no Windows call: whether an offered
// version is newer than the running one, the local file name of a downloaded
// update, and the command line that installs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dlmgr {

// The version of this program.
inline constexpr char kOwnVersion[] = "1.3.1.55";

// True when `offered` is newer than `own`. Both are split at '.'; the
// components are walked in step and the first pair that differs decides.
// Components made of digits compare as numbers of any length ("9" < "55",
// "007" == "7"); any other pair compares as text ignoring ASCII case. When
// every shared component is equal the offer is not newer (also when one list
// is longer), so the service can never push an equal or older version.
bool IsNewerVersion(std::string_view offered, std::string_view own = kOwnVersion);

// The name under which an update downloaded from `url` is stored in the
// upgrade folder: the URL's last path part (query and fragment removed), with
// the characters \ / : * ? " < > | and control characters taken out, and
// trailing dots and blanks trimmed (Windows would drop them). Nothing is
// returned when no name is left, when only dots remain, when the name is a
// device name ("CON", "NUL", "COM1", ... with or without an extension), or
// when it is longer than 200 bytes: such an update is refused.
std::optional<std::string> UpdateFileName(std::string_view url);

// Whether Windows takes the file name for a device ("CON", "NUL", "COM1",
// ... with or without an extension): writing to it would write to the device.
bool IsDeviceName(std::string_view name);

// The ProductCode of every 1.x package of the agent (installer/varnel.wxs takes
// it from here).
inline constexpr char kAgentProductCode[] = "{D3A5F0C2-6B1E-4F7A-9C28-5E0B7D4A1F36}";

// How an update installer is started: the program, its parameters and the
// shell's verb. An ".exe" starts itself with "/S" through "open" (an
// installer that needs an administrator says so in its manifest, and the
// shell asks for one); an ".msi"
// starts "msiexec.exe" with a silent reinstall of every feature that also
// recaches the package, so that a newer package of the same product replaces
// the installed one. That reinstall does nothing when the agent's product is
// not installed (an agent copied by hand): then the package is installed with
// a plain silent "/i". Either way "/norestart": without a user interface the
// installer would otherwise restart Windows unasked when it found files in
// use, and the user's unsaved work with it. The agent is installed for all
// users, and a silent install started by an ordinary user's process cannot
// ask for an administrator itself, so it would fail unseen: msiexec is
// started through "runas", which asks first (and not again for a process that
// has the rights already). Any other extension has no command.
struct InstallerCommand {
    std::string file;
    std::string parameters;
    std::string verb = "open";
};
std::optional<InstallerCommand> InstallerCommandFor(const std::string& path, bool productInstalled = true);

// The ComponentId of the package's component that holds varnel.exe
// (installer/varnel.wxs, component "Agent"): the Windows Installer gives the
// installed program's path from it.
inline constexpr char kAgentComponentCode[] = "{5F2B8D41-3A6C-4E97-8B0D-7C1E9A4F2D63}";

// After a self-update a small watcher, started from a copy of the program in
// a folder of its own under the user's temporary folder (so that nothing in
// the install folder is held open), waits until the installer and the agent
// have ended and starts the agent again. The copies' folders are named
// kWatcherFolderPrefix followed by the agent's process id.
inline constexpr char kWatcherFolderPrefix[] = "Varnel update ";
// The switch that makes the program such a watcher:
//   updatewatch <installer process id> <agent process id> "<program to start>"
// (a process id of 0: nothing to wait for).
inline constexpr char kUpdateWatchSwitch[] = "updatewatch";
std::string UpdateWatchParameters(uint32_t installerPid, uint32_t agentPid, const std::string& program);

// A Windows Installer exit code that means success: 0, or 3010 (success, a
// restart of Windows completes it). An unknown code (the installer had ended
// before the watcher could ask) is neither success nor failure.
enum class InstallerOutcome { Succeeded, Failed, Unknown };
InstallerOutcome InstallerOutcomeOf(std::optional<uint32_t> exitCode);

// The program the watcher starts: the installed agent (`installedProgram`,
// empty when the Windows Installer knows of none) unless the installer
// failed; otherwise, or without an installed one, the agent that was running.
// A failed update leaves the running copy as it was, and an agent copied by
// hand, never installed, stays the one the user runs.
std::string AgentToRestart(InstallerOutcome outcome, const std::string& installedProgram,
                           const std::string& runningProgram);

}  // namespace dlmgr
