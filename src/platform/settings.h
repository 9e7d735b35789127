// The settings store: flat values under the program's one settings key, read
// with defaults. The rules (machine-wide fallback, flags true only when exactly
// 1, the default texts, "Machine Name" from the computer name) live here, over
// a raw store that the platform provides: the registry on Windows, memory on
// the host. There is no cache: every call goes to the store, so worker threads
// may call it freely.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Raw access to the settings key in one of two hives. Reads answer nothing
// when the key or value cannot be read.
class ISettingsStore {
public:
    enum class Hive { User, Machine };
    virtual ~ISettingsStore() = default;

    // A 4-byte value of any stored type.
    virtual std::optional<uint32_t> GetNumber(Hive hive, const std::string& name) = 0;
    // A text of at most maxBytes bytes (terminator included); with requireText the
    // stored type must be REG_SZ.
    virtual std::optional<std::string> GetText(Hive hive, const std::string& name, size_t maxBytes,
                                               bool requireText) = 0;
    virtual bool SetNumber(Hive hive, const std::string& name, uint32_t value) = 0;
    virtual bool SetText(Hive hive, const std::string& name, const std::string& value) = 0;
    virtual bool Delete(Hive hive, const std::string& name) = 0;
    // The computer's name (at most 15 characters).
    virtual std::string ComputerName() = 0;
};

class Settings {
public:
    explicit Settings(ISettingsStore& store) : store_(store) {}

    uint32_t ReadNumber(const std::string& name, uint32_t def) const;
    bool ReadFlag(const std::string& name, bool def) const;
    // The stored text, or the default: "Notify.wav" for "Sound File", the
    // catalogue's defaults for "Catalogue Host" and "Daily Updates URL", empty otherwise.
    // "Machine Name" always answers the computer's name.
    std::string ReadText(const std::string& name) const;
    // As ReadText, with the string-table entry `stringId` as the default.
    std::string ReadText(const std::string& name, int stringId) const;
    // The text read of at most 520 bytes that accepts only REG_SZ, in the given
    // hive first and then, for the user hive, in the machine-wide one.
    std::optional<std::string> ReadTextFrom(ISettingsStore::Hive hive, const std::string& name) const;

    bool WriteNumber(const std::string& name, uint32_t value);
    bool WriteFlag(const std::string& name, bool value);
    bool WriteText(const std::string& name, const std::string& value);
    // The creating write through a caller-given hive.
    bool WriteTextTo(ISettingsStore::Hive hive, const std::string& name, const std::string& value);
    bool DeleteValue(const std::string& name);

    ISettingsStore& store() { return store_; }

private:
    std::optional<std::string> ReadTextRaw(const std::string& name) const;
    ISettingsStore& store_;
};

// The process's settings, over the platform's default store (the registry on
// Windows, memory on the host) unless another store was installed.
Settings& AppSettings();
// The platform's default store.
std::unique_ptr<ISettingsStore> MakeDefaultSettingsStore();
// Replaces the process's store and hands back the one it replaced. For start-up and tests.
std::unique_ptr<ISettingsStore> InstallSettingsStore(std::unique_ptr<ISettingsStore> store);
// The in-memory store used on the host (also handy in tests on Windows).
std::unique_ptr<ISettingsStore> MakeMemorySettingsStore(const std::string& computerName = "TESTHOST");

}  // namespace platform
