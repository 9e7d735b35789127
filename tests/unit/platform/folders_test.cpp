// The folder rules over the in-memory settings and a test root for the shell folders.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace {

class FolderRules : public ::testing::Test {
protected:
    void SetUp() override { platform::SetShellFolderRoot(root_); }
    void TearDown() override { platform::SetShellFolderRoot(""); }
    testing_support::TempFolder folder_{"vnfolders"};
    const std::string root_ = folder_.str();
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
};

TEST_F(FolderRules, DefaultsAreCreatedAndStoredBack) {
    platform::Settings& s = platform::AppSettings();
    const std::string data = root_ + "\\AppData\\Harbinel\\Zelto Varnel\\data";
    EXPECT_EQ(platform::DataFolder(), data);
    EXPECT_TRUE(platform::IsDirectory(data));
    EXPECT_EQ(s.ReadText(setting::kDataFolder), data);

    EXPECT_EQ(platform::TempHtmlFolder(), data + "\\Temp");
    EXPECT_EQ(s.ReadText(setting::kTempHtmlFolder), data + "\\Temp");
    EXPECT_EQ(platform::UpgradeFolder(), data + "\\upgrade");
    EXPECT_TRUE(platform::IsDirectory(data + "\\upgrade"));
    EXPECT_EQ(platform::DownloadFolder(), root_ + "\\Documents\\Zelto Varnel");
    EXPECT_TRUE(platform::IsDirectory(root_ + "\\Documents\\Zelto Varnel"));
    EXPECT_EQ(s.ReadText(setting::kDownloadFolder), root_ + "\\Documents\\Zelto Varnel");
}

TEST_F(FolderRules, StoredFoldersWinAndFollowTheDataFolder) {
    platform::Settings& s = platform::AppSettings();
    s.WriteText(setting::kDataFolder, root_ + "\\mine");
    EXPECT_EQ(platform::DataFolder(), root_ + "\\mine");
    EXPECT_TRUE(platform::IsDirectory(root_ + "\\mine"));
    EXPECT_EQ(platform::TempHtmlFolder(), root_ + "\\mine\\Temp");
    EXPECT_EQ(platform::UpgradeFolder(), root_ + "\\mine\\upgrade");
    s.WriteText(setting::kTempHtmlFolder, root_ + "\\pages");
    EXPECT_EQ(platform::TempHtmlFolder(), root_ + "\\pages");
    EXPECT_TRUE(platform::IsDirectory(root_ + "\\pages"));

    // A path past the ordinary text limit is kept, never overwritten by the default.
    const std::string deep = root_ + "\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
    s.WriteText(setting::kDataFolder, deep);
    EXPECT_EQ(platform::DataFolder(), deep);
    EXPECT_EQ(s.ReadTextFrom(platform::ISettingsStore::Hive::User, setting::kDataFolder), deep);
}

TEST_F(FolderRules, AFolderThatCannotBeCreatedIsStillAnswered) {
    const std::string file = root_ + "/plainfile";
    ASSERT_TRUE(platform::WriteFileAtomically(file, "x"));
    platform::AppSettings().WriteText(setting::kDataFolder, file + "\\data");
    EXPECT_EQ(platform::DataFolder(), file + "\\data");
    EXPECT_FALSE(platform::IsDirectory(file + "\\data"));
}

}  // namespace
