// Recorded installed-product data for the product scanners' host tests: the
// uninstall keys of each root as an ordered list of subkeys, and an
// installer's products, properties and components.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "scanners/product_sources.h"

namespace producttest {

using RegScan::UninstallRoot;
using RegScan::UninstallValues;

inline UninstallValues Entry(const std::string& name, const std::string& uninstall,
                             const std::string& displayVersion = "", const std::string& versionString = "",
                             const std::string& major = "", const std::string& minor = "",
                             const std::string& icon = "") {
    UninstallValues v;
    v.displayName = name;
    v.uninstallString = uninstall;
    v.displayVersion = displayVersion;
    v.versionString = versionString;
    v.versionMajor = major;
    v.versionMinor = minor;
    v.displayIcon = icon;
    return v;
}

class FakeUninstallKeys : public RegScan::IUninstallKeys {
public:
    void Add(UninstallRoot root, const std::string& subkey, const UninstallValues& values) {
        roots_[root].emplace_back(subkey, values);
    }
    // A root whose uninstall key exists but cannot be opened.
    void MakeUnopenable(UninstallRoot root) { unopenable_.insert(root); }
    // Called with each subkey name as the walk enumerates it, and as it
    // reads the subkey's values.
    std::function<void(const std::string&)> onSubkey;
    std::function<void(const std::string&)> onRead;
    // Whether the walks let several threads read at once (then onRead must
    // be safe to call from them).
    bool parallel = false;
    // The roots opened, in order.
    std::vector<UninstallRoot> opened;

    std::unique_ptr<RegScan::IUninstallKeyWalk> Open(UninstallRoot root) override {
        opened.push_back(root);
        if (unopenable_.count(root) || !roots_.count(root)) return nullptr;
        return std::make_unique<Walk>(*this, roots_[root]);
    }

private:
    using Subkeys = std::vector<std::pair<std::string, UninstallValues>>;
    class Walk : public RegScan::IUninstallKeyWalk {
    public:
        Walk(FakeUninstallKeys& owner, const Subkeys& subkeys) : owner_(owner), subkeys_(subkeys) {}
        std::optional<std::string> NextSubkey() override {
            if (next_ >= subkeys_.size()) return std::nullopt;
            const std::string& name = subkeys_[next_++].first;
            if (owner_.onSubkey) owner_.onSubkey(name);
            return name;
        }
        UninstallValues ReadSubkey(const std::string& name) override {
            if (owner_.onRead) owner_.onRead(name);
            for (const auto& [key, values] : subkeys_)
                if (key == name) return values;
            return UninstallValues{};
        }
        bool ReadsOnAnyThread() const override { return owner_.parallel; }

    private:
        FakeUninstallKeys& owner_;
        const Subkeys& subkeys_;
        size_t next_ = 0;
    };

    std::map<UninstallRoot, Subkeys> roots_;
    std::set<UninstallRoot> unopenable_;
};

struct FakeComponent {
    std::string code;
    std::optional<std::string> product;  // nothing: the owner cannot be found
    int state = RegScan::install_state::kLocal;
    std::string path;
};

class FakeInstaller : public RegScan::IInstallerData {
public:
    void AddProduct(const std::string& code, const std::map<std::string, std::string>& properties) {
        products_.push_back(code);
        for (const auto& [name, value] : properties) properties_[{code, name}] = value;
    }
    void AddComponent(const FakeComponent& component) { components_.push_back(component); }
    std::function<void(const std::string&)> onProduct;
    // Called with the product code of each property read.
    std::function<void(const std::string&)> onProperty;
    int propertyReads = 0;

    std::optional<std::string> ProductCode(uint32_t index) override {
        if (index >= products_.size()) return std::nullopt;
        if (onProduct) onProduct(products_[index]);
        return products_[index];
    }
    std::optional<std::string> ProductProperty(const std::string& code, const std::string& name) override {
        ++propertyReads;
        if (onProperty) onProperty(code);
        const auto it = properties_.find({code, name});
        if (it == properties_.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> ComponentCode(uint32_t index) override {
        if (index >= components_.size()) return std::nullopt;
        return components_[index].code;
    }
    std::optional<std::string> ComponentProduct(const std::string& code) override {
        for (const FakeComponent& c : components_)
            if (c.code == code) return c.product;
        return std::nullopt;
    }
    RegScan::ComponentKeyPath ComponentPath(const std::string& product, const std::string& code) override {
        for (const FakeComponent& c : components_)
            if (c.code == code && c.product == product) return {c.state, c.path};
        return {RegScan::install_state::kUnknown, ""};
    }

private:
    std::vector<std::string> products_;
    std::map<std::pair<std::string, std::string>, std::string> properties_;
    std::vector<FakeComponent> components_;
};

}  // namespace producttest
