// The per-user folders against the real shell folders and registry.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"

namespace {

std::string Shell(int csidl) {
    char path[MAX_PATH] = {};
    EXPECT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)));
    return path;
}

class Folders : public ::testing::Test {
protected:
    void SetUp() override { testing_app::DeleteProgramKeys(); }
    void TearDown() override { testing_app::DeleteProgramKeys(); }
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeDefaultSettingsStore()};
};

TEST_F(Folders, FirstRequestsOnAnEmptyRegistryCreateAndStoreTheDefaults) {
    platform::Settings& settings = platform::AppSettings();
    const std::string appData = Shell(CSIDL_APPDATA);
    const std::string expectedData = appData + "\\Harbinel\\Zelto Varnel\\data";
    RemoveDirectoryA((expectedData + "\\Temp").c_str());
    RemoveDirectoryA((expectedData + "\\upgrade").c_str());

    EXPECT_EQ(platform::DataFolder(), expectedData);
    EXPECT_TRUE(platform::IsDirectory(expectedData));
    EXPECT_EQ(settings.ReadText(setting::kDataFolder), expectedData);

    EXPECT_EQ(platform::TempHtmlFolder(), expectedData + "\\Temp");
    EXPECT_TRUE(platform::IsDirectory(expectedData + "\\Temp"));
    EXPECT_EQ(settings.ReadText(setting::kTempHtmlFolder), expectedData + "\\Temp");

    EXPECT_EQ(platform::UpgradeFolder(), expectedData + "\\upgrade");
    EXPECT_TRUE(platform::IsDirectory(expectedData + "\\upgrade"));

    const std::string expectedDownload = Shell(CSIDL_PERSONAL) + "\\Zelto Varnel";
    EXPECT_EQ(platform::DownloadFolder(), expectedDownload);
    EXPECT_TRUE(platform::IsDirectory(expectedDownload));
    EXPECT_EQ(settings.ReadText(setting::kDownloadFolder), expectedDownload);

    // The upgrade folder is never stored; nothing else was added.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Harbinel\\Zelto Varnel", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 3u);

    RemoveDirectoryA(expectedDownload.c_str());
    RemoveDirectoryA((expectedData + "\\Temp").c_str());
    RemoveDirectoryA((expectedData + "\\upgrade").c_str());
}

TEST_F(Folders, StoredFoldersAreUsedAndCreated) {
    const testing_support::TempFolder folder("varnel-folders-test");
    const std::string root = folder.str();
    platform::AppSettings().WriteText(setting::kDataFolder, root + "\\deep\\data");
    platform::AppSettings().WriteText(setting::kTempHtmlFolder, root + "\\html");

    EXPECT_EQ(platform::DataFolder(), root + "\\deep\\data");
    EXPECT_TRUE(platform::IsDirectory(root + "\\deep\\data"));
    EXPECT_EQ(platform::TempHtmlFolder(), root + "\\html");
    EXPECT_EQ(platform::UpgradeFolder(), root + "\\deep\\data\\upgrade");
}

}  // namespace
