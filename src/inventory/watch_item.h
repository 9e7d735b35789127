// VN_WatchItem: one program of the user's watch list, found through the
// registry, the Windows Installer, a shortcut or a running process, or added
// by the user.
#pragma once

#include <string>
#include <string_view>

#include "inventory/guid_item.h"

namespace watch_source {
inline constexpr char kRegistry[] = "registry";  // the constructor's default
inline constexpr char kExe[] = "exe";            // an item made from a program file
}  // namespace watch_source

class VN_WatchItem : public VN_RegistryItem {
public:
    static constexpr char kClassName[] = "VN_WatchItem";

    VN_WatchItem() : source(watch_source::kRegistry) {}

    const char* RuntimeClassName() const override { return kClassName; }
    VN_WatchItem* AsWatchItem() override { return this; }
    void ExchangeFields(inventory::FieldExchange& fx) override { ExchangeAllFields(fx); }
    void StoreFields(inventory::StoreExchange& fx) override;
    void LoadFields(inventory::LoadExchange& fx) override;

    std::string GetExePath() const override { return targetName; }
    bool IsUntrackableComponent() const override { return comFromReg && HasComponentGuid(); }
    // A suite shows its installer product name; a component its file
    // description, else its program name, else "(executable)"; others their
    // program name.
    std::string GetDisplayName(bool indent) const override;
    std::string GetExecutableName() const override { return executableName; }
    void ShowIcon(platform::WindowHandle staticControl) const override;

    void SetFileDesc(std::string_view text);

    // Every stored field and serverId, sequence, arguments and listIndex; not
    // scanStamp or the installer name cache.
    void CopyFrom(const VN_WatchItem& other);
    // Takes from `other` only what this item still lacks (empty texts, false
    // flags, zero numbers; never `removed`), except that a non-empty `source`
    // of the newer item always wins.
    void MergeFrom(const VN_WatchItem& other);
    // Whether `other`, a freshly scanned program, is this list entry. The first
    // matching rule decides: same executable, program name and installed
    // version; same program path; same installer codes; same product
    // signature of an uninstall entry; or `other` is the suite whose product
    // code is this entry's uninstall key. The non-empty tests look at this
    // item's fields, so the test is not symmetric.
    bool IsSameItem(const VN_WatchItem& other) const;

    std::string packageName;  // company of the program file, or the product's publisher
    std::string fileDesc;     // file description; a suite component's display name
    std::string shortcutName;
    std::string targetName;  // full path of the executable
    std::string installedVers;
    std::string installedVers2;
    std::string installedVers3;
    std::string description;
    std::string error;
    std::string executableName;
    std::string source;     // watch_source::kRegistry or kExe
    std::string arguments;  // shortcut arguments; not stored
    int32_t listIndex = 0;  // position when the available-updates list was built; not stored
    bool comFromReg = false;
    std::string reservedText2;  // carried through files, never set by the program

protected:
    template <class Fx>
    void ExchangeOwnFields(Fx& fx);
    template <class Fx>
    void ExchangeAllFields(Fx& fx) {
        VN_RegistryItem::ExchangeAllFields(fx);
        ExchangeOwnFields(fx);
    }
};
