#include "platform/settings.h"

#include <map>
#include <mutex>
#include <utility>
#include <variant>

#include "platform/setting_names.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace platform {

namespace {
constexpr size_t kTextBytes = 256;
constexpr size_t kRootedTextBytes = 520;
using Hive = ISettingsStore::Hive;
}  // namespace

uint32_t Settings::ReadNumber(const std::string& name, uint32_t def) const {
    if (auto v = store_.GetNumber(Hive::User, name)) return *v;
    if (auto v = store_.GetNumber(Hive::Machine, name)) return *v;
    return def;
}

bool Settings::ReadFlag(const std::string& name, bool def) const {
    return ReadNumber(name, def ? 1u : 0u) == 1u;
}

std::optional<std::string> Settings::ReadTextRaw(const std::string& name) const {
    if (auto v = store_.GetText(Hive::User, name, kTextBytes, false)) return v;
    return store_.GetText(Hive::Machine, name, kTextBytes, false);
}

std::string Settings::ReadText(const std::string& name) const {
    if (name == setting::kMachineName) return store_.ComputerName();
    if (auto v = ReadTextRaw(name)) return *v;
    if (name == setting::kSoundFile) return setting::kSoundFileDefault;
    if (name == setting::kCatalogueHost) return setting::kCatalogueHostDefault;
    if (name == setting::kDailyUpdatesUrl) return setting::kDailyUpdatesUrlDefault;
    return std::string();
}

std::string Settings::ReadText(const std::string& name, int stringId) const {
    if (name == setting::kMachineName) return store_.ComputerName();
    if (auto v = ReadTextRaw(name)) return *v;
    return LoadText(stringId);
}

std::optional<std::string> Settings::ReadTextFrom(Hive hive, const std::string& name) const {
    if (auto v = store_.GetText(hive, name, kRootedTextBytes, true)) return v;
    if (hive == Hive::User) return store_.GetText(Hive::Machine, name, kRootedTextBytes, true);
    return std::nullopt;
}

bool Settings::WriteNumber(const std::string& name, uint32_t value) {
    return store_.SetNumber(Hive::User, name, value);
}

bool Settings::WriteFlag(const std::string& name, bool value) {
    return store_.SetNumber(Hive::User, name, value ? 1u : 0u);
}

bool Settings::WriteText(const std::string& name, const std::string& value) {
    return store_.SetText(Hive::User, name, value);
}

bool Settings::WriteTextTo(Hive hive, const std::string& name, const std::string& value) {
    return store_.SetText(hive, name, value);
}

bool Settings::DeleteValue(const std::string& name) {
    return store_.Delete(Hive::User, name);
}

// ---------------------------------------------------------------- memory store

namespace {

class MemoryStore : public ISettingsStore {
public:
    explicit MemoryStore(std::string computerName) : computerName_(std::move(computerName)) {}

    std::optional<uint32_t> GetNumber(Hive hive, const std::string& name) override {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& m = map(hive);
        auto it = m.find(name);
        if (it == m.end()) return std::nullopt;
        if (auto* n = std::get_if<uint32_t>(&it->second)) return *n;
        // A text read as a number, as RegQueryValueEx gives it into a 4-byte
        // buffer: a text that fits with its terminator yields its bytes (little
        // endian, the rest zero); a longer one does not fit and is no value.
        const std::string& s = std::get<std::string>(it->second);
        if (s.size() + 1 > 4) return std::nullopt;
        uint32_t v = 0;
        for (size_t i = s.size(); i-- > 0;) v = (v << 8) | static_cast<unsigned char>(s[i]);
        return v;
    }

    std::optional<std::string> GetText(Hive hive, const std::string& name, size_t maxBytes,
                                       bool /*requireText*/) override {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& m = map(hive);
        auto it = m.find(name);
        if (it == m.end()) return std::nullopt;
        if (auto* s = std::get_if<std::string>(&it->second)) {
            if (s->size() + 1 > maxBytes) return std::nullopt;
            return *s;
        }
        return std::nullopt;  // a number is not text, for either reader
    }

    bool SetNumber(Hive hive, const std::string& name, uint32_t value) override {
        std::lock_guard<std::mutex> lock(mutex_);
        map(hive)[name] = value;
        return true;
    }

    bool SetText(Hive hive, const std::string& name, const std::string& value) override {
        std::lock_guard<std::mutex> lock(mutex_);
        map(hive)[name] = value;
        return true;
    }

    bool Delete(Hive hive, const std::string& name) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return map(hive).erase(name) > 0;
    }

    std::string ComputerName() override { return computerName_; }

private:
    using Value = std::variant<uint32_t, std::string>;
    std::map<std::string, Value>& map(Hive hive) { return hive == Hive::User ? user_ : machine_; }
    std::mutex mutex_;
    std::map<std::string, Value> user_, machine_;
    std::string computerName_;
};

std::mutex g_installMutex;
std::unique_ptr<ISettingsStore> g_store;
std::unique_ptr<Settings> g_settings;

}  // namespace

std::unique_ptr<ISettingsStore> MakeMemorySettingsStore(const std::string& computerName) {
    return std::make_unique<MemoryStore>(computerName);
}

std::unique_ptr<ISettingsStore> InstallSettingsStore(std::unique_ptr<ISettingsStore> store) {
    std::lock_guard<std::mutex> lock(g_installMutex);
    g_settings.reset();
    std::unique_ptr<ISettingsStore> previous = std::exchange(g_store, std::move(store));
    if (g_store) g_settings = std::make_unique<Settings>(*g_store);
    return previous;
}

Settings& AppSettings() {
    std::lock_guard<std::mutex> lock(g_installMutex);
    if (!g_settings) {
        g_store = MakeDefaultSettingsStore();
        g_settings = std::make_unique<Settings>(*g_store);
    }
    return *g_settings;
}

}  // namespace platform

namespace setting {

std::string ColumnWidthName(const char* widthName, int column) {
    return textutil::Format("%s %d", widthName, column);
}

}  // namespace setting
