// The settings store over HKEY_CURRENT_USER (and, for the read fallback,
// HKEY_LOCAL_MACHINE) "Software\Harbinel\Zelto Varnel".
#include <vector>

#include "platform/settings.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace platform {
namespace {

constexpr wchar_t kSoftware[] = L"Software";
constexpr wchar_t kMaker[] = L"Harbinel";
constexpr wchar_t kProduct[] = L"Zelto Varnel";
constexpr wchar_t kKeyPath[] = L"Software\\Harbinel\\Zelto Varnel";

HKEY RootOf(ISettingsStore::Hive hive) {
    return hive == ISettingsStore::Hive::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// Opens the key for reading and writing; when that fails, creates it step by
// step ("Software", then "Harbinel", then "Zelto Varnel").
UniqueKey OpenKey(HKEY root, bool create) {
    UniqueKey key;
    const REGSAM access = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
    if (RegOpenKeyExW(root, kKeyPath, 0, access, key.put()) == ERROR_SUCCESS) return key;
    if (RegOpenKeyExW(root, kKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS && !create) return key;
    key.reset();
    if (!create) return key;
    UniqueKey software, maker;
    if (RegOpenKeyExW(root, kSoftware, 0, KEY_READ | KEY_CREATE_SUB_KEY, software.put()) != ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExW(software.get(), kMaker, 0, nullptr, 0, KEY_READ | KEY_CREATE_SUB_KEY, nullptr,
                        maker.put(), nullptr) != ERROR_SUCCESS)
        return key;
    RegCreateKeyExW(maker.get(), kProduct, 0, nullptr, 0, access, nullptr, key.put(), nullptr);
    return key;
}

class RegistryStore : public ISettingsStore {
public:
    std::optional<uint32_t> GetNumber(Hive hive, const std::string& name) override {
        UniqueKey key = OpenKey(RootOf(hive), false);
        if (!key) return std::nullopt;
        DWORD value = 0, size = sizeof value;
        if (RegQueryValueExW(key.get(), Widen(name).c_str(), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }

    std::optional<std::string> GetText(Hive hive, const std::string& name, size_t maxBytes,
                                       bool requireText) override {
        UniqueKey key = OpenKey(RootOf(hive), false);
        if (!key) return std::nullopt;
        // The 8-bit read: maxBytes of ANSI text including its terminator.
        std::vector<char> buf(maxBytes + 1, '\0');
        DWORD type = 0, size = static_cast<DWORD>(maxBytes);
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                             &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (requireText && type != REG_SZ) return std::nullopt;
        return std::string(buf.data());
    }

    bool SetNumber(Hive hive, const std::string& name, uint32_t value) override {
        UniqueKey key = OpenKey(RootOf(hive), true);
        if (!key) return false;
        const DWORD v = value;
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                              sizeof v) == ERROR_SUCCESS;
    }

    bool SetText(Hive hive, const std::string& name, const std::string& value) override {
        UniqueKey key = OpenKey(RootOf(hive), true);
        if (!key) return false;
        return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

    bool Delete(Hive hive, const std::string& name) override {
        UniqueKey key = OpenKey(RootOf(hive), false);
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
