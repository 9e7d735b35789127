// A registry key of the test's own under HKEY_CURRENT_USER, removed with
// everything below it when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/win/win.h"

namespace testsupport {

class TestRegistryKey {
public:
    explicit TestRegistryKey(const std::string& name)
        : path_("Software\\Varnel Tests\\" + name + "-" + std::to_string(GetCurrentProcessId())) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                  nullptr),
                  ERROR_SUCCESS);
    }
    ~TestRegistryKey() {
        if (key_) RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Varnel Tests");  // only when no other test left a key there
    }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    HKEY get() const { return key_; }
    const std::string& Path() const { return path_; }

    // Creates `sub` (and its parents) below the key and sets raw data there.
    void Set(const std::string& sub, const std::string& name, DWORD type, const void* data, DWORD bytes) const {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(key_, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
        RegCloseKey(k);
    }
    // A text value with its terminator.
    void SetText(const std::string& sub, const std::string& name, const std::string& text, DWORD type = REG_SZ) const {
        Set(sub, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

private:
    std::string path_;
    HKEY key_ = nullptr;
};

}  // namespace testsupport
