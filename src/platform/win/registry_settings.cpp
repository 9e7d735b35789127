// The settings store over HKEY_CURRENT_USER (and, for the read fallback,
// HKEY_LOCAL_MACHINE) "Software\Harbinel\Zelto Varnel". Every call opens and
// closes its own key handle, so any thread may use it.
#include <vector>

#include "platform/settings.h"
#include "platform/win/handles.h"

namespace platform {
namespace {

constexpr char kSoftware[] = "Software";
constexpr char kMaker[] = "Harbinel";
constexpr char kProduct[] = "Zelto Varnel";
constexpr char kKeyPath[] = "Software\\Harbinel\\Zelto Varnel";
constexpr REGSAM kFullAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

HKEY RootOf(ISettingsStore::Hive hive) {
    return hive == ISettingsStore::Hive::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Creates the key step by step: "Software", then "Harbinel", then "Zelto Varnel".
UniqueKey CreateKey(HKEY root) {
    UniqueKey software, maker, key;
    if (RegOpenKeyExA(root, kSoftware, 0, KEY_CREATE_SUB_KEY, software.put()) != ERROR_SUCCESS) return key;
    if (RegCreateKeyExA(software.get(), kMaker, 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr, maker.put(),
                        nullptr) != ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExA(maker.get(), kProduct, 0, nullptr, 0, kFullAccess, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

// The key for a read. It is opened with full access and, in the user's hive,
// created when that fails. A machine-wide key is also tried read-only, because
// a standard user may read it but not write it; it is never created by a read.
UniqueKey OpenForRead(ISettingsStore::Hive hive) {
    const HKEY root = RootOf(hive);
    UniqueKey key;
    if (RegOpenKeyExA(root, kKeyPath, 0, kFullAccess, key.put()) == ERROR_SUCCESS) return key;
    if (hive == ISettingsStore::Hive::Machine) {
        if (RegOpenKeyExA(root, kKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) key.reset();
        return key;
    }
    return CreateKey(root);
}

// The key for a write or delete: opened with full access, created when that fails.
UniqueKey OpenForWrite(ISettingsStore::Hive hive) {
    const HKEY root = RootOf(hive);
    UniqueKey key;
    if (RegOpenKeyExA(root, kKeyPath, 0, kFullAccess, key.put()) == ERROR_SUCCESS) return key;
    return CreateKey(root);
}

class RegistryStore : public ISettingsStore {
public:
    // The 4-byte read; the stored type is not compared (a short text reads as
    // its bytes, anything longer than 4 bytes is no value).
    std::optional<uint32_t> GetNumber(Hive hive, const std::string& name) override {
        UniqueKey key = OpenForRead(hive);
        if (!key) return std::nullopt;
        DWORD value = 0, size = sizeof value;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }

    // A text of at most maxBytes bytes including its terminator. Only text
    // types count (REG_SZ, and REG_EXPAND_SZ as stored unless requireText):
    // a number or binary value under a text's name would otherwise come back
    // as a few raw bytes instead of the default.
    std::optional<std::string> GetText(Hive hive, const std::string& name, size_t maxBytes,
                                       bool requireText) override {
        UniqueKey key = OpenForRead(hive);
        if (!key) return std::nullopt;
        std::vector<char> buf(maxBytes + 1, '\0');  // one spare zero for a value stored without its own
        DWORD type = 0, size = static_cast<DWORD>(maxBytes);
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && (requireText || type != REG_EXPAND_SZ)) return std::nullopt;
        return std::string(buf.data());
    }

    bool SetNumber(Hive hive, const std::string& name, uint32_t value) override {
        UniqueKey key = OpenForWrite(hive);
        if (!key) return false;
        const DWORD v = value;
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) ==
               ERROR_SUCCESS;
    }

    bool SetText(Hive hive, const std::string& name, const std::string& value) override {
        UniqueKey key = OpenForWrite(hive);
        if (!key) return false;
        // Stored as written with its terminating zero; a text cut at an embedded zero.
        const std::string text(value.c_str());
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }

    bool Delete(Hive hive, const std::string& name) override {
        UniqueKey key = OpenForWrite(hive);
        if (!key) return false;
        return RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
    }

    std::string ComputerName() override {
        char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof buf;
        if (!GetComputerNameA(buf, &size)) return std::string();
        return std::string(buf, size);
    }
};

}  // namespace

std::unique_ptr<ISettingsStore> MakeDefaultSettingsStore() { return std::make_unique<RegistryStore>(); }

}  // namespace platform
