// Where the installed-product scanners get their data: the registry's
// uninstall keys and the Windows Installer. The scanners drive the walks
// (they test the stop request between steps and decide what to keep); these
// sources only answer one question at a time. Windows reads the real
// registry and msi.dll; the host has no installed products, and tests feed
// recorded data through doubles of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace RegScan {

// The uninstall key "Software\Microsoft\Windows\CurrentVersion\Uninstall"
// under the roots the product scan walks, in the order it walks them. On
// 64-bit Windows the machine key has two registry views: 64-bit programs
// register in the one, 32-bit programs in the other, and a program sees only
// its own unless it asks for the other; both are read.
enum class UninstallRoot {
    Machine64,  // HKEY_LOCAL_MACHINE, 64-bit view
    Machine32,  // HKEY_LOCAL_MACHINE, 32-bit view
    User,       // HKEY_CURRENT_USER
};
inline constexpr UninstallRoot kUninstallRoots[] = {UninstallRoot::Machine64, UninstallRoot::Machine32,
                                                    UninstallRoot::User};

// The values of one uninstall subkey, each read by the registry value rule
// (260-byte buffer, REG_DWORD as signed decimal, text trimmed, anything
// unreadable or too long empty). All empty when the subkey cannot be opened.
struct UninstallValues {
    std::string displayName;      // "DisplayName"
    std::string displayVersion;   // "DisplayVersion"
    std::string versionMajor;     // "VersionMajor"
    std::string versionMinor;     // "VersionMinor"
    std::string versionString;    // "VersionString"
    std::string uninstallString;  // "UninstallString"
    std::string displayIcon;      // "DisplayIcon"
};

// One opened uninstall key: its subkeys by index, and their values.
class IUninstallKeyWalk {
public:
    virtual ~IUninstallKeyWalk() = default;
    // The name of the next subkey (from index 0); nothing when the
    // enumeration fails or has no more.
    virtual std::optional<std::string> NextSubkey() = 0;
    // The values of the named subkey of this key.
    virtual UninstallValues ReadSubkey(const std::string& name) = 0;
    // Whether ReadSubkey may run on several threads at once (the scan then
    // reads a long key's subkeys on two).
    virtual bool ReadsOnAnyThread() const { return false; }
};

class IUninstallKeys {
public:
    virtual ~IUninstallKeys() = default;
    // Opens the uninstall key under the root for reading; null when it
    // cannot be opened (the root then contributes nothing).
    virtual std::unique_ptr<IUninstallKeyWalk> Open(UninstallRoot root) = 0;
};

// Installer install states the component scan looks at (INSTALLSTATE_*).
namespace install_state {
inline constexpr int kBadConfig = -6;
inline constexpr int kMoreData = -3;  // the key path does not fit the buffer
inline constexpr int kInvalidArg = -2;
inline constexpr int kUnknown = -1;
inline constexpr int kAbsent = 2;
inline constexpr int kLocal = 3;
}  // namespace install_state

// A component's key path as the installer reports it.
struct ComponentKeyPath {
    int state = install_state::kUnknown;
    std::string path;  // the path as returned (cut to the returned length)
};

class IInstallerData {
public:
    virtual ~IInstallerData() = default;
    // The product code (braced GUID) at `index` of the installer's products;
    // nothing when the enumeration reports anything but success.
    virtual std::optional<std::string> ProductCode(uint32_t index) = 0;
    // A product property read into a buffer of 260 characters: the value as
    // returned, or nothing when the read fails (the value does not fit
    // included).
    virtual std::optional<std::string> ProductProperty(const std::string& productCode, const std::string& name) = 0;
    // The component code at `index` of the installer's components; nothing
    // when the enumeration reports anything but success.
    virtual std::optional<std::string> ComponentCode(uint32_t index) = 0;
    // The product that owns the component; nothing when the call fails.
    virtual std::optional<std::string> ComponentProduct(const std::string& componentCode) = 0;
    // The component's key path and install state, asked with a buffer of
    // 260 characters and a length of 259.
    virtual ComponentKeyPath ComponentPath(const std::string& productCode, const std::string& componentCode) = 0;
};

// The sources a scan reads. Null members read as empty sources.
struct ProductSources {
    IUninstallKeys* uninstallKeys = nullptr;
    IInstallerData* installer = nullptr;
};

// The machine's own sources, alive for the whole process (Windows: the
// registry and msi.dll; host: none, so nothing is installed).
ProductSources PlatformProductSources();

}  // namespace RegScan
