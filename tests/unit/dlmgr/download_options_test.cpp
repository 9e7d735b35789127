// The "Download" page's settings: what counts as a change, and a retry count
// kept within 1 to 9 both when stored and when the queue reads it.
#include "dlmgr/download_options.h"

#include <gtest/gtest.h>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace dlmgr {
namespace {

TEST(DownloadOptions, ChangesAreFolderIgnoringCaseOrCountAndTheCountStaysWithinOneToNine) {
    testing_support::ScopedHook<platform::InstallSettingsStore> settings{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder root;
    platform::SetShellFolderRoot(root.str());
    const DownloadOptions stored = DownloadOptions::Stored();
    EXPECT_EQ(stored.retries, 1u);
    DownloadOptions edited = stored;
    for (char& c : edited.folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(edited.DiffersFrom(stored));
    edited.retries = 3;
    EXPECT_TRUE(edited.DiffersFrom(stored));
    edited.folder = "D:\\Downloads";
    edited.retries = 12;
    ASSERT_TRUE(edited.Store());
    EXPECT_EQ(platform::AppSettings().ReadText(setting::kDownloadFolder), "D:\\Downloads");
    EXPECT_EQ(DownloadRetries(), 9u);
    platform::AppSettings().WriteNumber(setting::kDownloadRetries, 0);
    EXPECT_EQ(DownloadRetries(), 1u);
    platform::SetShellFolderRoot("");
}

}  // namespace
}  // namespace dlmgr
