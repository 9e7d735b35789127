// Decisions of the self-update that need no Windows call: whether an offered
// version is newer than the running one, the local file name of a downloaded
// update, and the command line that installs it.
#pragma once

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

}  // namespace dlmgr
