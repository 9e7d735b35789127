// The settings rules over the real registry: what the agent reads and writes
// under HKEY_CURRENT_USER\Software\Harbinel\Zelto Varnel, with the
// machine-wide fallback.
#include <gtest/gtest.h>

#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/win/win.h"
#include "registry_guard.h"

using platform::ISettingsStore;

namespace {

constexpr char kKey[] = "Software\\Harbinel\\Zelto Varnel";

void SetRaw(HKEY root, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRawText(HKEY root, const char* name, DWORD type, const std::string& text) {
    SetRaw(root, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

class RegistrySettings : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        store_ = platform::MakeDefaultSettingsStore();
        settings_ = std::make_unique<platform::Settings>(*store_);
    }
    void TearDown() override { testing_app::DeleteProgramKeys(); }

    std::unique_ptr<ISettingsStore> store_;
    std::unique_ptr<platform::Settings> settings_;
};

TEST_F(RegistrySettings, EmptyRegistryGivesEveryDefault) {
    for (const setting::Definition& d : setting::kDefinitions) {
        switch (d.kind) {
            case setting::Kind::Number:
                EXPECT_EQ(settings_->ReadNumber(d.name, d.number), d.number) << d.name;
                break;
            case setting::Kind::Flag:
                EXPECT_EQ(settings_->ReadFlag(d.name, d.number == 1), d.number == 1) << d.name;
                break;
            case setting::Kind::Text:
                if (d.textId)
                    EXPECT_FALSE(settings_->ReadText(d.name, d.textId).empty()) << d.name;
                else
                    EXPECT_EQ(settings_->ReadText(d.name), d.text) << d.name;
                break;
            case setting::Kind::Computed:
                break;
        }
    }
    EXPECT_EQ(settings_->ReadText(setting::kXmlUrlName, setting::kXmlUrlNameDefaultId), "/cgi-bin/vncheck.fcgi");
    EXPECT_EQ(settings_->ReadText(setting::kClientLinkUrl, setting::kClientLinkUrlDefaultId), "EMPTY");
}

TEST_F(RegistrySettings, ValuesRoundTripWithTheirRegistryTypes) {
    EXPECT_TRUE(settings_->WriteNumber(setting::kCheckForUpdates, 4));
    EXPECT_TRUE(settings_->WriteFlag(setting::kSound, true));
    const std::string ansi = "C:\\Programme\\Gr\xFC\xDF" "e \x80";  // bytes of the ANSI code page
    EXPECT_TRUE(settings_->WriteText(setting::kScanId, ansi));
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 4u);
    EXPECT_TRUE(settings_->ReadFlag(setting::kSound, false));
    EXPECT_EQ(settings_->ReadText(setting::kScanId), ansi);

    // Stored as the types other programs expect: DWORD for numbers and flags, REG_SZ with terminator.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, setting::kSound, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RegQueryValueExA(key, setting::kScanId, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, ansi.size() + 1);
    RegCloseKey(key);

    EXPECT_TRUE(settings_->DeleteValue(setting::kScanId));
    EXPECT_EQ(settings_->ReadText(setting::kScanId), "");
    EXPECT_FALSE(settings_->DeleteValue(setting::kScanId));
}

TEST_F(RegistrySettings, FlagIsTrueOnlyForExactlyOne) {
    const DWORD two = 2;
    SetRaw(HKEY_CURRENT_USER, setting::kShowTaskbarIcon, REG_DWORD, &two, sizeof two);
    EXPECT_FALSE(settings_->ReadFlag(setting::kShowTaskbarIcon, true));
    settings_->WriteFlag(setting::kShowTaskbarIcon, true);
    EXPECT_EQ(settings_->ReadNumber(setting::kShowTaskbarIcon, 0), 1u);
}

TEST_F(RegistrySettings, MachineWideValueIsTheFallback) {
    const DWORD five = 5;
    SetRaw(HKEY_LOCAL_MACHINE, setting::kCheckForUpdates, REG_DWORD, &five, sizeof five);
    SetRawText(HKEY_LOCAL_MACHINE, setting::kXmlServerName, REG_SZ, "machine.example");
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 5u);
    EXPECT_EQ(settings_->ReadText(setting::kXmlServerName, setting::kXmlServerNameDefaultId), "machine.example");
    EXPECT_EQ(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kXmlServerName), "machine.example");

    settings_->WriteNumber(setting::kCheckForUpdates, 1);
    settings_->WriteText(setting::kXmlServerName, "user.example");
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 1u);
    EXPECT_EQ(settings_->ReadText(setting::kXmlServerName), "user.example");
    // Writes and deletes never touch the machine-wide key.
    settings_->DeleteValue(setting::kCheckForUpdates);
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 5u);
}

TEST_F(RegistrySettings, TextReadsKeepTheirSizeAndTypeLimits) {
    const std::string t255(255, 'a'), t256(256, 'b'), t519(519, 'c'), t520(520, 'd');
    settings_->WriteText(setting::kHomePageUrl, t255);
    EXPECT_EQ(settings_->ReadText(setting::kHomePageUrl, setting::kHomePageUrlDefaultId), t255);
    settings_->WriteText(setting::kHomePageUrl, t256);
    EXPECT_EQ(settings_->ReadText(setting::kHomePageUrl, setting::kHomePageUrlDefaultId),
              platform::LoadText(setting::kHomePageUrlDefaultId));
    EXPECT_EQ(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kHomePageUrl), t256);
    settings_->WriteText(setting::kHomePageUrl, t519);
    EXPECT_EQ(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kHomePageUrl), t519);
    settings_->WriteText(setting::kHomePageUrl, t520);
    EXPECT_FALSE(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kHomePageUrl).has_value());

    // The root-addressed read takes REG_SZ only; the ordinary one also takes
    // REG_EXPAND_SZ as stored; neither turns a number into text.
    SetRawText(HKEY_CURRENT_USER, setting::kMachineId, REG_EXPAND_SZ, "%TEMP%\\id");
    EXPECT_EQ(settings_->ReadText(setting::kMachineId), "%TEMP%\\id");
    EXPECT_FALSE(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kMachineId).has_value());
    const DWORD one = 1;
    SetRaw(HKEY_CURRENT_USER, setting::kSoundFile, REG_DWORD, &one, sizeof one);
    EXPECT_EQ(settings_->ReadText(setting::kSoundFile), "Notify.wav");
}

TEST_F(RegistrySettings, NumberReadIgnoresTheStoredTypeButNotTheSize) {
    const unsigned char four[4] = {0x10, 0x20, 0, 0};
    SetRaw(HKEY_CURRENT_USER, setting::kCustomInterval, REG_BINARY, four, sizeof four);
    EXPECT_EQ(settings_->ReadNumber(setting::kCustomInterval, 0), 0x2010u);
    SetRawText(HKEY_CURRENT_USER, setting::kCustomInterval, REG_SZ, "3600");  // 5 bytes: does not fit
    EXPECT_EQ(settings_->ReadNumber(setting::kCustomInterval, 7), 7u);
}

TEST_F(RegistrySettings, KeyIsCreatedOnUseAndMachineKeyOnlyByTheCreatingWrite) {
    ASSERT_FALSE(testing_app::KeyExists(HKEY_CURRENT_USER, kKey));
    settings_->ReadNumber(setting::kLastScanTime, 0);
    EXPECT_TRUE(testing_app::KeyExists(HKEY_CURRENT_USER, kKey));
    EXPECT_FALSE(testing_app::KeyExists(HKEY_LOCAL_MACHINE, kKey));  // a fallback read creates nothing

    testing_app::DeleteProgramKeys();
    EXPECT_TRUE(settings_->WriteNumber(setting::kLastScanTime, 123));
    EXPECT_EQ(settings_->ReadNumber(setting::kLastScanTime, 0), 123u);

    EXPECT_TRUE(settings_->WriteTextTo(ISettingsStore::Hive::Machine, setting::kMachineId, "M-1"));
    EXPECT_TRUE(testing_app::KeyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(settings_->ReadTextFrom(ISettingsStore::Hive::Machine, setting::kMachineId), "M-1");
}

TEST_F(RegistrySettings, MachineNameIsAlwaysTheComputerName) {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    settings_->WriteText(setting::kMachineName, "stored-name");
    EXPECT_EQ(settings_->ReadText(setting::kMachineName), name);
    EXPECT_EQ(settings_->ReadText(setting::kMachineName, 57344), name);
}

}  // namespace
