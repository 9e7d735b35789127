// The program's per-user folders. Each request follows the same rule: the
// stored setting when there is one, else a default under the user's shell
// folders that is stored back (except the upgrade folder), and the folder is
// created with all missing parents. A folder that cannot be created is
// returned all the same; its users fail later on their own file operations.
// Paths carry no trailing backslash.
#pragma once

#include <optional>
#include <string>

namespace platform {

// "Data Folder": the list databases, the log, the preference file. Default:
// the user's application-data folder (else the program's folder) followed by
// "Harbinel\Zelto Varnel\data".
std::string DataFolder();
// "Temp Html Folder": temporary pages. Default: DataFolder() + "\Temp".
std::string TempHtmlFolder();
// DataFolder() + "\upgrade", never stored: downloads of program updates.
std::string UpgradeFolder();
// "Varnel Download Folder". Default: the user's documents folder (else the
// program's folder) + "\Zelto Varnel".
std::string DownloadFolder();

// The shell folders the defaults start from.
enum class ShellFolder {
    AppData,    // the user's roaming application data (CSIDL_APPDATA, 26)
    Documents,  // the user's documents (CSIDL_PERSONAL, 5)
};
// The folder's path without a trailing backslash, or nothing when the shell
// cannot name it.
std::optional<std::string> ShellFolderPath(ShellFolder folder);

// For tests: answer ShellFolderPath from "<root>\AppData" and
// "<root>\Documents" instead of asking the platform (an empty root restores
// the platform's answer). On the host the platform's answer is a folder under
// the temporary directory.
void SetShellFolderRoot(const std::string& root);

}  // namespace platform
