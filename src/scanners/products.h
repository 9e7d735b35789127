// Installed products: the programs Windows knows as installed, from the
// registry's uninstall entries and from the Windows Installer. Each source
// fills a map of product records keyed by product key (the uninstall
// subkey's name, or the installer's product code, which is also the name of
// the uninstall subkey the installer writes, so one key names the same
// product in both sources). The merged map prefers the installer's record,
// which then takes only the uninstall command from the registry, leaves out
// what the exclusion list names, and hands every product to the watch list
// as a watch item.
//
// A map may run without a scan context (the watch list): then nothing is
// excluded, no stop can be requested and no watch items are made; the
// export functions read such a merged map.
//
// A fill that fails part way (an exception from a source) logs it and
// answers "stopped", as a stop request would: the inventory pass then
// removes nothing, since it cannot tell a product that is gone from one that
// was never read.
#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scanners/product_sources.h"

class VN_WatchList;
class VN_WatchItem;

namespace RegScan {

// The key under both machine views and the user's hive.
inline constexpr char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Major and minor version texts joined as "major.minor"; the major part
// alone when the minor part is empty; empty when the major part is.
std::string JoinMajorMinor(const std::string& major, const std::string& minor);

// Removes a trailing "(Remove Only)" and then "(Remove or Repair)" (any letter
// case, blanks or tabs around and between the words) from a product name,
// together with the blanks before them. The name passes through UTF-16 and
// back on the way.
std::string RewriteProductName(const std::string& name);

// A product record: what a source says about one installed product. The
// base knows nothing and answers empty texts.
class VN_ProductItemBase {
public:
    virtual ~VN_ProductItemBase() = default;
    virtual std::unique_ptr<VN_ProductItemBase> Clone() const = 0;

    virtual std::string GetName() const { return std::string(); }
    virtual std::string GetUninstallString() const { return std::string(); }
    // The product's identity text, fields joined by single bars.
    virtual std::string GetSignature() const { return std::string(); }
    virtual std::string GetVersionString() const { return std::string(); }
    virtual std::string GetDisplayVersion() const { return std::string(); }
    virtual std::string GetMajorMinorVersion() const { return std::string(); }
    virtual std::string GetIconPath() const { return std::string(); }
    virtual std::string GetKeyName() const { return std::string(); }

    // The string digest of GetSignature: 32 lower-case hexadecimal digits.
    std::string GetSignatureMd5() const;
};

// An uninstall entry of the registry, as one scan reads it: RegScan::VN_RegistryItem,
// a short-lived product of the scanners, kept in no file. Not the stored item
// of the watch list (::VN_RegistryItem in inventory/guid_item.h), which a pass
// builds or updates from this one and which the list files keep.
class VN_RegistryItem : public VN_ProductItemBase {
public:
    VN_RegistryItem() = default;
    VN_RegistryItem(const std::string& key, const UninstallValues& values);
    std::unique_ptr<VN_ProductItemBase> Clone() const override { return std::make_unique<VN_RegistryItem>(*this); }

    std::string GetName() const override { return displayName; }
    std::string GetUninstallString() const override { return uninstallString; }
    // Key name, DisplayName, DisplayVersion, VersionMajor, VersionMinor and
    // the uninstall command with its file paths replaced by the files' sizes.
    std::string GetSignature() const override;
    std::string GetVersionString() const override { return versionString; }
    std::string GetDisplayVersion() const override { return displayVersion; }
    std::string GetMajorMinorVersion() const override { return JoinMajorMinor(versionMajor, versionMinor); }
    std::string GetIconPath() const override { return displayIcon; }
    std::string GetKeyName() const override { return keyName; }

    std::string keyName;
    std::string displayName;
    std::string displayVersion;
    std::string versionMajor;
    std::string versionMinor;
    std::string versionString;
    std::string uninstallString;
    std::string displayIcon;
};

// A product of the Windows Installer.
class VN_MsiProductItem : public VN_ProductItemBase {
public:
    std::unique_ptr<VN_ProductItemBase> Clone() const override { return std::make_unique<VN_MsiProductItem>(*this); }

    std::string GetName() const override { return productName; }
    // The registry's uninstall command when the merge gave one, else
    // "MsiExec.exe /X" and the product code.
    std::string GetUninstallString() const override;
    // Product code, ProductName and VersionString.
    std::string GetSignature() const override;
    std::string GetVersionString() const override { return versionString; }
    std::string GetMajorMinorVersion() const override { return JoinMajorMinor(versionMajor, versionMinor); }
    std::string GetIconPath() const override { return productIcon; }
    std::string GetKeyName() const override { return productCode; }

    std::string productCode;
    std::string productName;
    std::string versionString;
    std::string versionMajor;
    std::string versionMinor;
    std::string uninstallOverride;  // filled by the merge from the registry
    std::string productIcon;
};

// The watch item a product becomes: name (rewritten), versions, uninstall
// command, signature, icon path and key name; the source stays "registry".
// The installed version is the first non-empty of the version string, the
// display version and the major.minor text.
void FillWatchItem(const VN_ProductItemBase& product, VN_WatchItem& item);

// The still-installed test after an uninstall: the installer still names the
// product (a non-empty "ProductName" for the key taken as a product code), or
// an uninstall key has a subkey of that name with a non-empty DisplayName.
// A test that fails part way (logged) answers "still installed": an answer
// of "gone" would mark the item and its group gone on no evidence.
bool IsProductInstalled(const std::string& productKey, const ProductSources& sources = PlatformProductSources());

// A map of product records by key (case-sensitive), owning its records.
// Storing under a key already present replaces the record. Walks go in key
// order (byte order).
class VN_ProductsBase {
public:
    using Records = std::map<std::string, std::unique_ptr<VN_ProductItemBase>>;

    // `context` may be null (see the top of this file).
    explicit VN_ProductsBase(VN_WatchList* context, ProductSources sources = PlatformProductSources());
    virtual ~VN_ProductsBase();
    VN_ProductsBase(const VN_ProductsBase&) = delete;
    VN_ProductsBase& operator=(const VN_ProductsBase&) = delete;

    // Fills the map from its source; true when a stop request or a failure
    // (logged) ended it.
    virtual bool Fill() = 0;
    // Whether the last fill ended in a failure rather than at its end or on
    // a stop request.
    bool Failed() const { return failed_; }

    void Store(const std::string& key, std::unique_ptr<VN_ProductItemBase> record);
    VN_ProductItemBase* Lookup(const std::string& key) const;
    size_t GetCount() const { return records_.size(); }
    const Records& GetRecords() const { return records_; }

protected:
    bool IsStopRequested() const;
    // The exclusion test on a product's name (never without a context).
    bool IsExcluded(const std::string& name) const;

    VN_WatchList* context_;
    ProductSources sources_;
    Records records_;
    bool failed_ = false;
};

// The uninstall entries of the machine (64-bit view, then 32-bit view) and
// of the user. A subkey name met again later replaces the earlier record.
// Entries without a DisplayName or without an UninstallString are left out.
class VN_RegistryProducts : public VN_ProductsBase {
public:
    using VN_ProductsBase::VN_ProductsBase;
    bool Fill() override;

private:
    // One root; true when stopped.
    bool Walk(UninstallRoot root);
    // The values of each named subkey into the same place of `values`;
    // true when stopped before all were read (those not read stay empty). A
    // read that threw ends the reading and lands in `failure`.
    bool ReadSubkeys(IUninstallKeyWalk& key, const std::vector<std::string>& names,
                     std::vector<std::optional<UninstallValues>>& values, std::exception_ptr& failure);
};

// The installer's products, with ProductName, ProductIcon, VersionString,
// VersionMajor and VersionMinor. Not filtered by name.
class VN_MsiProducts : public VN_ProductsBase {
public:
    using VN_ProductsBase::VN_ProductsBase;
    bool Fill() override;
};

// Both sources merged, then (with a context) handed to the watch list. When a
// source failed part way, what it read is still merged and handed over, and
// the fill answers "stopped".
class VN_AllProducts : public VN_ProductsBase {
public:
    using VN_ProductsBase::VN_ProductsBase;
    bool Fill() override;

private:
    // Each product to the watch list's add-or-merge; true when stopped.
    bool HandOver();
};

// An installer product property by the property rule: empty for an empty
// product code (without asking), or when the read fails; else the value
// (at most 260 characters) trimmed.
std::string ReadProductProperty(IInstallerData* installer, const std::string& productCode, const std::string& name);

}  // namespace RegScan
