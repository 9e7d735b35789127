#include <gtest/gtest.h>

#include <cstdlib>

#include "appcore/preferences_file.h"
#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/setting_names.h"

namespace {

class PreferencesFile : public ::testing::Test {
protected:
    void SetUp() override {
        store_ = platform::MakeMemorySettingsStore();
        settings_ = std::make_unique<platform::Settings>(*store_);
    }
    std::unique_ptr<platform::ISettingsStore> store_;
    std::unique_ptr<platform::Settings> settings_;
};

TEST_F(PreferencesFile, EmptySettingsGiveTheExportDefaults) {
    EXPECT_EQ(appcore::PreferencesText(*settings_),
              "[defaults]\r\n"
              "Pulse Icon=true\r\n"
              "Report Product Msg=true\r\n"
              "Check for Updates=true\r\n"
              "Include Sys Info=true\r\n"
              "Track Application Usage=true\r\n"
              "WatchList Scan Desktop=true\r\n"
              "WatchList Scan Devices=true\r\n"
              "WatchList Scan Open Apps=true\r\n"
              "WatchList Scan Recent Apps=true\r\n"
              "WatchList Scan Start Menu=true\r\n");
}

TEST_F(PreferencesFile, StoredValuesAreExported) {
    settings_->WriteText(setting::kScanId, "S-42");
    settings_->WriteText(setting::kExcludeDeviceClasses, "Printer;Net");
    settings_->WriteFlag(setting::kPulseIcon, false);
    settings_->WriteNumber(setting::kReportProductMsg, 2);  // not exactly 1: false
    settings_->WriteNumber(setting::kCheckForUpdates, 0);
    settings_->WriteFlag(setting::kScanOpenApps, false);
    const std::string text = appcore::PreferencesText(*settings_);
    EXPECT_EQ(text,
              "[defaults]\r\n"
              "Scan ID=S-42\r\n"
              "Exclude Device Classes=Printer;Net\r\n"
              "Pulse Icon=false\r\n"
              "Report Product Msg=false\r\n"
              "Check for Updates=false\r\n"
              "Include Sys Info=true\r\n"
              "Track Application Usage=true\r\n"
              "WatchList Scan Desktop=true\r\n"
              "WatchList Scan Devices=true\r\n"
              "WatchList Scan Open Apps=false\r\n"
              "WatchList Scan Recent Apps=true\r\n"
              "WatchList Scan Start Menu=true\r\n");
    settings_->WriteNumber(setting::kCheckForUpdates, 5);
    EXPECT_NE(appcore::PreferencesText(*settings_).find("Check for Updates=true\r\n"), std::string::npos);
}

TEST_F(PreferencesFile, LineBreaksInAValueCannotAddKeys) {
    settings_->WriteText(setting::kScanId, "S-1\r\nPulse Icon=false");
    settings_->WriteText(setting::kExcludeDeviceClasses, "\nOnlyAfterBreak");
    const std::string text = appcore::PreferencesText(*settings_);
    EXPECT_NE(text.find("Scan ID=S-1\r\nPulse Icon=true\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Pulse Icon=false"), std::string::npos);
    EXPECT_EQ(text.find("Exclude Device Classes"), std::string::npos);
}

TEST_F(PreferencesFile, WriteReplacesTheFileInTheDataFolder) {
    const testing_support::TempFolder dir("vnprefs");
    const std::string folder = dir.str();
    const std::string path = dir.Path("VNPrefs.ini");
    ASSERT_TRUE(platform::WriteFileAtomically(path, "[other]\r\nold=1\r\n"));
    settings_->WriteText(setting::kScanId, "S-7");
    ASSERT_TRUE(appcore::WritePreferencesFile(*settings_, folder));
    EXPECT_EQ(platform::ReadWholeFile(path), appcore::PreferencesText(*settings_));
}

}  // namespace
