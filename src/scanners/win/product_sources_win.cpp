// The installed-product sources of a Windows machine: the uninstall keys of
// the registry (both views of the machine key, then the user's key) and the
// Windows Installer through msi.dll, in their 8-bit variants except for
// component key paths, which are asked for in UTF-16 so that a program in a
// folder named outside the ANSI code page keeps a path that opens.
// msi.h needs the Windows types first.
#include "platform/win/win.h"
#include <msi.h>

#include <algorithm>
#include <cstring>

#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "scanners/product_sources.h"
#include "scanners/products.h"
#include "scanners/win/registry_value.h"

namespace RegScan {
namespace {

constexpr DWORD kNameChars = 260;  // subkey names and key paths
constexpr DWORD kCodeChars = 39;   // a braced GUID and its terminator

class WinUninstallKeyWalk final : public IUninstallKeyWalk {
public:
    WinUninstallKeyWalk(platform::UniqueKey key, REGSAM view) : key_(std::move(key)), view_(view) {}

    std::optional<std::string> NextSubkey() override {
        char name[kNameChars];
        DWORD length = kNameChars;
        if (RegEnumKeyExA(key_.get(), index_, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return std::nullopt;
        ++index_;
        return std::string(name, std::min(length, kNameChars - 1));
    }

    UninstallValues ReadSubkey(const std::string& name) override {
        UninstallValues values;
        platform::UniqueKey sub;
        if (RegOpenKeyExA(key_.get(), name.c_str(), 0, KEY_READ | view_, sub.put()) != ERROR_SUCCESS) return values;
        values.displayName = scanners::ReadRegistryValue(sub.get(), "DisplayName");
        values.displayVersion = scanners::ReadRegistryValue(sub.get(), "DisplayVersion");
        values.versionMajor = scanners::ReadRegistryValue(sub.get(), "VersionMajor");
        values.versionMinor = scanners::ReadRegistryValue(sub.get(), "VersionMinor");
        values.versionString = scanners::ReadRegistryValue(sub.get(), "VersionString");
        values.uninstallString = scanners::ReadRegistryValue(sub.get(), "UninstallString");
        values.displayIcon = scanners::ReadRegistryValue(sub.get(), "DisplayIcon");
        return values;
    }

    // Each read opens the subkey through its own handle.
    bool ReadsOnAnyThread() const override { return true; }

private:
    platform::UniqueKey key_;
    REGSAM view_;
    DWORD index_ = 0;
};

class WinUninstallKeys final : public IUninstallKeys {
public:
    std::unique_ptr<IUninstallKeyWalk> Open(UninstallRoot root) override {
        HKEY hive = HKEY_LOCAL_MACHINE;
        REGSAM view = 0;
        switch (root) {
        case UninstallRoot::Machine64: view = KEY_WOW64_64KEY; break;
        case UninstallRoot::Machine32: view = KEY_WOW64_32KEY; break;
        case UninstallRoot::User: hive = HKEY_CURRENT_USER; break;
        }
        platform::UniqueKey key;
        if (RegOpenKeyExA(hive, kUninstallKeyPath, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return nullptr;
        return std::make_unique<WinUninstallKeyWalk>(std::move(key), view);
    }
};

std::optional<std::string> Code(UINT result, const char* buffer) {
    if (result != ERROR_SUCCESS) return std::nullopt;
    return std::string(buffer, strnlen(buffer, kCodeChars - 1));
}

class WinInstallerData final : public IInstallerData {
public:
    std::optional<std::string> ProductCode(uint32_t index) override {
        char code[kCodeChars] = {};
        return Code(MsiEnumProductsA(index, code), code);
    }

    std::optional<std::string> ProductProperty(const std::string& productCode, const std::string& name) override {
        char value[kNameChars] = {};
        DWORD length = kNameChars;
        if (MsiGetProductInfoA(productCode.c_str(), name.c_str(), value, &length) != ERROR_SUCCESS) return std::nullopt;
        return std::string(value, std::min(length, kNameChars - 1));
    }

    std::optional<std::string> ComponentCode(uint32_t index) override {
        char code[kCodeChars] = {};
        return Code(MsiEnumComponentsA(index, code), code);
    }

    std::optional<std::string> ComponentProduct(const std::string& componentCode) override {
        char code[kCodeChars] = {};
        return Code(MsiGetProductCodeA(componentCode.c_str(), code), code);
    }

    ComponentKeyPath ComponentPath(const std::string& productCode, const std::string& componentCode) override {
        wchar_t path[kNameChars] = {};
        DWORD length = kNameChars - 1;
        ComponentKeyPath keyPath;
        keyPath.state = MsiGetComponentPathW(platform::Widen(productCode).c_str(),
                                             platform::Widen(componentCode).c_str(), path, &length);
        // With INSTALLSTATE_MOREDATA the length is what the path would need,
        // beyond the buffer: no path is taken then.
        if (keyPath.state != install_state::kMoreData && length < kNameChars)
            keyPath.path = platform::AnsiPath(std::wstring_view(path, length));
        return keyPath;
    }
};

}  // namespace

ProductSources PlatformProductSources() {
    static WinUninstallKeys keys;
    static WinInstallerData installer;
    return ProductSources{&keys, &installer};
}

}  // namespace RegScan
