#include <gtest/gtest.h>

#include "platform/setting_names.h"
#include "platform/settings.h"

using platform::ISettingsStore;

class SettingsRules : public ::testing::Test {
protected:
    void SetUp() override {
        store_ = platform::MakeMemorySettingsStore("MYPC");
        settings_ = std::make_unique<platform::Settings>(*store_);
    }
    std::unique_ptr<ISettingsStore> store_;
    std::unique_ptr<platform::Settings> settings_;
};

TEST_F(SettingsRules, FlagIsTrueOnlyWhenExactlyOne) {
    EXPECT_TRUE(settings_->ReadFlag(setting::kSound, true));
    EXPECT_FALSE(settings_->ReadFlag(setting::kSound, false));
    settings_->WriteNumber(setting::kSound, 2);
    EXPECT_FALSE(settings_->ReadFlag(setting::kSound, true));
    settings_->WriteFlag(setting::kSound, true);
    EXPECT_EQ(settings_->ReadNumber(setting::kSound, 7), 1u);
}

TEST_F(SettingsRules, ReadFallsBackToMachineWideValue) {
    store_->SetNumber(ISettingsStore::Hive::Machine, setting::kCheckForUpdates, 4);
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 4u);
    settings_->WriteNumber(setting::kCheckForUpdates, 1);
    EXPECT_EQ(settings_->ReadNumber(setting::kCheckForUpdates, 2), 1u);
    store_->SetText(ISettingsStore::Hive::Machine, setting::kScanId, "machine-wide");
    EXPECT_EQ(settings_->ReadText(setting::kScanId), "machine-wide");
}

TEST_F(SettingsRules, TextDefaultsAndMachineName) {
    EXPECT_EQ(settings_->ReadText(setting::kSoundFile), "Notify.wav");
    EXPECT_EQ(settings_->ReadText(setting::kScanId), "");
    settings_->WriteText(setting::kMachineName, "stored");
    EXPECT_EQ(settings_->ReadText(setting::kMachineName), "MYPC");
    EXPECT_EQ(settings_->ReadText("Unknown With Table Default", 57344), "Zelto Varnel");
}

TEST_F(SettingsRules, LongTextIsNotReadByTheShortReader) {
    const std::string t300(300, 'a');
    settings_->WriteText(setting::kHomePageUrl, t300);
    EXPECT_EQ(settings_->ReadText(setting::kHomePageUrl), "");  // over 256 bytes
    EXPECT_EQ(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kHomePageUrl), t300);
    settings_->DeleteValue(setting::kHomePageUrl);
    EXPECT_FALSE(settings_->ReadTextFrom(ISettingsStore::Hive::User, setting::kHomePageUrl).has_value());
}
