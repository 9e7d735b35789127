#include "scanners/products.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "inventory/regexp.h"
#include "inventory/watch_list.h"
#include "platform/codepage.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "scanners/md5.h"
#include "scanners/uninstall_string.h"

namespace RegScan {
namespace {

// The words REMOVE ONLY, and REMOVE OR REPAIR, in parentheses, in any letter
// case, with blanks or tabs around and between them. "|" binds tighter than
// concatenation, so "R|rE|e" is one letter R or r followed by one E or e.
// A key with fewer subkeys is read on one thread: starting a second costs
// more than it saves.
constexpr size_t kSecondReaderFrom = 64;

constexpr char kRemoveOnlyPattern[] = "{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oN|nL|lY|y\\b*\\)\\b*}";
constexpr char kRemoveOrRepairPattern[] =
    "{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oR|r\\b+R|rE|eP|pA|aI|iR|r\\b*\\)\\b*}";

constexpr size_t kPropertyChars = 260;

VN_RegExp CompilePattern(const char* pattern) {
    VN_RegExp re;
    re.Compile(pattern, true);
    return re;
}

// Removes every text the pattern's match group captured, at every place it occurs.
std::string RemoveMatches(const VN_RegExp& pattern, const std::string& text) {
    std::vector<VN_RegExpMatch> matches;
    pattern.FindAll(text, &matches);
    std::vector<std::string> found;
    for (const VN_RegExpMatch& match : matches)
        if (!match.groups.empty() && match.groups[0].IsSet()) found.emplace_back(match.groups[0].Of(text));
    std::string result = text;
    // Each group is removed in a pass over the whole text, as often as it was
    // found. A pass that removed nothing removes nothing again until another
    // pass has changed the text: those are skipped, so that a name with the
    // same words many times is not walked once per time.
    std::set<std::string> idle;
    for (const std::string& group : found) {
        if (idle.count(group)) continue;
        const size_t before = result.size();
        result = scanners::ReplaceAllOccurrences(result, group, std::string());
        if (result.size() != before) idle.clear();
        else idle.insert(group);
    }
    return result;
}

template <typename... Parts>
std::string JoinWithBars(const Parts&... parts) {
    std::string out;
    bool first = true;
    for (const std::string* part : {&parts...}) {
        if (!first) out += '|';
        out += *part;
        first = false;
    }
    return out;
}

}  // namespace

std::string JoinMajorMinor(const std::string& major, const std::string& minor) {
    if (major.empty()) return std::string();
    if (minor.empty()) return major;
    return major + "." + minor;
}

std::string RewriteProductName(const std::string& name) {
    static const VN_RegExp removeOnly = CompilePattern(kRemoveOnlyPattern);
    static const VN_RegExp removeOrRepair = CompilePattern(kRemoveOrRepairPattern);
    // The rewrite works on the name as UTF-16 shows it. Its patterns involve
    // only ASCII characters that are never part of a double-byte character,
    // so matching the 8-bit form of that text finds the same places.
    const std::string text = platform::Utf16ToAnsi(platform::AnsiToUtf16(name));
    return RemoveMatches(removeOrRepair, RemoveMatches(removeOnly, text));
}

std::string VN_ProductItemBase::GetSignatureMd5() const { return digest::StringDigest(GetSignature()); }

// ------------------------------------------------------------ records

VN_RegistryItem::VN_RegistryItem(const std::string& key, const UninstallValues& values)
    : keyName(key),
      displayName(values.displayName),
      displayVersion(values.displayVersion),
      versionMajor(values.versionMajor),
      versionMinor(values.versionMinor),
      versionString(values.versionString),
      uninstallString(values.uninstallString),
      displayIcon(values.displayIcon) {}

std::string VN_RegistryItem::GetSignature() const {
    const std::string changed = VN_UninstallString(uninstallString).GetChangedString();
    return JoinWithBars(keyName, displayName, displayVersion, versionMajor, versionMinor, changed);
}

std::string VN_MsiProductItem::GetUninstallString() const {
    if (!uninstallOverride.empty()) return uninstallOverride;
    return "MsiExec.exe /X" + productCode;
}

std::string VN_MsiProductItem::GetSignature() const { return JoinWithBars(productCode, productName, versionString); }

void FillWatchItem(const VN_ProductItemBase& product, VN_WatchItem& item) {
    item.SetProgName(RewriteProductName(product.GetName()));
    const std::string versionString = product.GetVersionString();
    const std::string displayVersion = product.GetDisplayVersion();
    const std::string majorMinor = product.GetMajorMinorVersion();
    item.installedVers = !versionString.empty() ? versionString : !displayVersion.empty() ? displayVersion : majorMinor;
    item.installedVers2 = majorMinor;
    item.installedVers3 = displayVersion;
    item.uninstallString = product.GetUninstallString();
    item.signature = product.GetSignature();
    item.iconPath = product.GetIconPath();
    item.keyName = product.GetKeyName();
}

std::string ReadProductProperty(IInstallerData* installer, const std::string& productCode, const std::string& name) {
    if (productCode.empty() || !installer) return std::string();
    const std::optional<std::string> value = installer->ProductProperty(productCode, name);
    if (!value) return std::string();
    return textutil::Trim(std::string_view(*value).substr(0, std::min(value->size(), kPropertyChars)));
}

bool IsProductInstalled(const std::string& productKey, const ProductSources& sources) {
    if (productKey.empty()) return false;
    try {
        if (!ReadProductProperty(sources.installer, productKey, "ProductName").empty()) return true;
        if (!sources.uninstallKeys) return false;
        // Both machine views and the user's key, as the scan reads them.
        for (UninstallRoot root : kUninstallRoots) {
            std::unique_ptr<IUninstallKeyWalk> key = sources.uninstallKeys->Open(root);
            if (key && !key->ReadSubkey(productKey).displayName.empty()) return true;
        }
    } catch (const std::exception&) {
        vnlog::Warning("RegScan::IsProductInstalled");
        return true;
    } catch (...) {
        vnlog::Warning("RegScan::IsProductInstalled", true);
        return true;
    }
    return false;
}

// ------------------------------------------------------------ maps

VN_ProductsBase::VN_ProductsBase(VN_WatchList* context, ProductSources sources)
    : context_(context), sources_(sources) {}

VN_ProductsBase::~VN_ProductsBase() = default;

void VN_ProductsBase::Store(const std::string& key, std::unique_ptr<VN_ProductItemBase> record) {
    records_[key] = std::move(record);
}

VN_ProductItemBase* VN_ProductsBase::Lookup(const std::string& key) const {
    const auto it = records_.find(key);
    return it == records_.end() ? nullptr : it->second.get();
}

bool VN_ProductsBase::IsStopRequested() const { return context_ && context_->IsStopRequested(); }

bool VN_ProductsBase::IsExcluded(const std::string& name) const {
    return context_ && context_->IsInExclusions(name);
}

bool VN_RegistryProducts::Fill() {
    failed_ = false;
    try {
        // The machine's 64-bit and 32-bit views, then the user's key: an agent
        // that read only its own view would miss every program of the other
        // bitness. A subkey met again later replaces the earlier record.
        for (UninstallRoot root : kUninstallRoots)
            if (Walk(root)) return true;
    } catch (const std::exception&) {
        vnlog::Warning("VN_RegistryProducts::Fill");
        failed_ = true;
    } catch (...) {
        vnlog::Warning("VN_RegistryProducts::Fill", true);
        failed_ = true;
    }
    return failed_;
}

bool VN_RegistryProducts::Walk(UninstallRoot root) {
    if (!sources_.uninstallKeys) return false;
    std::unique_ptr<IUninstallKeyWalk> key = sources_.uninstallKeys->Open(root);
    if (!key) return false;
    std::vector<std::string> names;
    while (std::optional<std::string> name = key->NextSubkey()) {
        if (IsStopRequested()) return true;
        names.push_back(std::move(*name));
    }
    std::vector<std::optional<UninstallValues>> values(names.size());
    std::exception_ptr failure;
    const bool stopped = ReadSubkeys(*key, names, values, failure);
    // After a stop or a failure, the subkeys read before the first one left
    // unread are kept.
    for (size_t i = 0; i < names.size() && values[i]; ++i) {
        // Only entries with both a name and an uninstall command are products.
        if (values[i]->displayName.empty() || values[i]->uninstallString.empty()) continue;
        Store(names[i], std::make_unique<VN_RegistryItem>(names[i], *values[i]));
    }
    if (failure) std::rethrow_exception(failure);
    return stopped;
}

bool VN_RegistryProducts::ReadSubkeys(IUninstallKeyWalk& key, const std::vector<std::string>& names,
                                      std::vector<std::optional<UninstallValues>>& values,
                                      std::exception_ptr& failure) {
    // Each read waits on the registry (under Wine, a round trip to its
    // server) more than it computes, so a second reader halves a long key's
    // walk; the two take the next subkey in turn and end at a stop request
    // or at the first failure of either.
    std::atomic<size_t> next{0};
    std::atomic<bool> stopped{false};
    const auto read = [&](std::exception_ptr& failed) {
        try {
            // The stop is tested before a subkey is taken, so every subkey
            // taken is read and those before the first unread are all read.
            for (;;) {
                if (IsStopRequested()) {
                    stopped = true;
                    return;
                }
                const size_t i = next++;
                if (i >= names.size()) return;
                values[i] = key.ReadSubkey(names[i]);
            }
        } catch (...) {
            failed = std::current_exception();
            next = names.size();
        }
    };
    std::exception_ptr secondFailure;
    std::thread second;
    if (key.ReadsOnAnyThread() && names.size() >= kSecondReaderFrom) {
        try {
            second = std::thread([&] {
                platform::LowerCurrentThreadPriority();
                read(secondFailure);
            });
        } catch (const std::system_error&) {
            // No second thread: this one reads them all.
        }
    }
    read(failure);
    if (second.joinable()) second.join();
    if (!failure) failure = secondFailure;
    return stopped;
}

bool VN_MsiProducts::Fill() {
    failed_ = false;
    try {
        IInstallerData* installer = sources_.installer;
        if (!installer) return false;
        for (uint32_t index = 0;; ++index) {
            const std::optional<std::string> code = installer->ProductCode(index);
            if (!code) break;
            if (IsStopRequested()) return true;
            auto record = std::make_unique<VN_MsiProductItem>();
            record->productCode = *code;
            record->productName = ReadProductProperty(installer, *code, "ProductName");
            record->productIcon = ReadProductProperty(installer, *code, "ProductIcon");
            record->versionString = ReadProductProperty(installer, *code, "VersionString");
            record->versionMajor = ReadProductProperty(installer, *code, "VersionMajor");
            record->versionMinor = ReadProductProperty(installer, *code, "VersionMinor");
            Store(*code, std::move(record));
        }
    } catch (const std::exception&) {
        vnlog::Warning("VN_MsiProducts::Fill");
        failed_ = true;
    } catch (...) {
        vnlog::Warning("VN_MsiProducts::Fill", true);
        failed_ = true;
    }
    return failed_;
}

bool VN_AllProducts::Fill() {
    try {
        // A stop inside either source shows at the next test below. A source
        // that failed part way still gives what it read, but the whole fill
        // then answers "stopped".
        VN_MsiProducts installer(context_, sources_);
        installer.Fill();
        failed_ = installer.Failed();
        for (const auto& [key, record] : installer.GetRecords()) {
            if (IsStopRequested()) return true;
            if (IsExcluded(record->GetName())) continue;
            Store(key, record->Clone());
        }

        VN_RegistryProducts registry(context_, sources_);
        registry.Fill();
        failed_ = failed_ || registry.Failed();
        for (const auto& [key, record] : registry.GetRecords()) {
            if (IsStopRequested()) return true;
            if (VN_ProductItemBase* known = Lookup(key)) {
                // The installer's record wins and takes only the uninstall command.
                if (auto* product = dynamic_cast<VN_MsiProductItem*>(known))
                    product->uninstallOverride = record->GetUninstallString();
                continue;
            }
            if (IsExcluded(record->GetName())) continue;
            Store(key, record->Clone());
        }
        return HandOver() || failed_;
    } catch (const std::exception&) {
        vnlog::Warning("VN_AllProducts::Fill");
        failed_ = true;
    } catch (...) {
        vnlog::Warning("VN_AllProducts::Fill", true);
        failed_ = true;
    }
    return failed_;
}

bool VN_AllProducts::HandOver() {
    if (!context_) return false;
    // A stop that came while the sources were read and left nothing to hand
    // over is still reported: the inventory pass must not take an aborted
    // scan for a complete one.
    if (records_.empty()) return IsStopRequested();
    for (const auto& entry : records_) {
        if (IsStopRequested()) return true;
        VN_WatchItem item;
        FillWatchItem(*entry.second, item);
        context_->AddOrMerge(item, false, false);
    }
    return false;
}

}  // namespace RegScan
