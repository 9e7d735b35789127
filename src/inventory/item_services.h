// What the items need to know from Windows but cannot compute themselves: the
// Windows Installer's product information (display names and versions of
// suites) and the drawing of an item's icon into a dialog's static control.
// The core asks through these interfaces; by default the platform answers
// (Windows: msi.dll and the shell; host: an installer that knows no product,
// and icons are not drawn); tests install doubles.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/notifier.h"

namespace inventory {

class IInstallerQuery {
public:
    virtual ~IInstallerQuery() = default;
    // The installer's product property `property` ("InstalledProductName",
    // "VersionString", ...) of the product with the braced code `productCode`,
    // as the installer gives it; nothing when the product is unknown or the
    // query fails.
    virtual std::optional<std::string> ProductInfo(const std::string& productCode, const std::string& property) = 0;
};

class IItemIcons {
public:
    virtual ~IItemIcons() = default;
    // The first large icon of the file, or the system's default application
    // icon when the file has none, set into the static control and repainted.
    virtual void ShowFileIcon(platform::WindowHandle staticControl, const std::string& filePath) = 0;
    // The icon of the device class named `deviceClass` from the system's
    // device-class image list, set into the static control and repainted.
    virtual void ShowDeviceClassIcon(platform::WindowHandle staticControl, const std::string& deviceClass) = 0;
};

// The process's installer query and icon painter. Install at start-up (or in
// a test's set-up), before any thread uses them. Installing nullptr restores
// the default: the platform's installer (msi.dll on Windows; on the host one
// that knows no product), and the platform's icon painter (the shell and
// SetupAPI on Windows; nothing is drawn on the host).
// Each Install* returns what it replaced, so that a test can put it back.
IInstallerQuery& InstallerQuery();
std::unique_ptr<IInstallerQuery> InstallInstallerQuery(std::unique_ptr<IInstallerQuery> query);
std::unique_ptr<IInstallerQuery> MakePlatformInstallerQuery();
IItemIcons& ItemIcons();
std::unique_ptr<IItemIcons> InstallItemIcons(std::unique_ptr<IItemIcons> icons);
std::unique_ptr<IItemIcons> MakePlatformItemIcons();

}  // namespace inventory
