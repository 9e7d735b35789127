#include "appcore/settings_pages.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingsPages, AutoUpdateButtonsFollowTheModesAndAnUnknownModeSelectsTheFirst) {
    for (uint32_t mode : {0u, 1u, 2u})
        EXPECT_EQ(appcore::AutoUpdateModeForButton(appcore::AutoUpdateButtonForMode(mode)), mode);
    EXPECT_EQ(appcore::AutoUpdateButtonForMode(1), 0);
    EXPECT_EQ(appcore::AutoUpdateButtonForMode(7), 0);
}

TEST(SettingsPages, DownloadPageComparesTheFolderIgnoringCaseAndReadsRetriesOneToNine) {
    EXPECT_FALSE(appcore::DownloadPageModified("C:\\Downloads", 3, "c:\\downloads", 3));
    EXPECT_TRUE(appcore::DownloadPageModified("C:\\Downloads", 4, "C:\\Downloads", 3));
    EXPECT_TRUE(appcore::DownloadPageModified("D:\\", 3, "C:\\", 3));
    EXPECT_EQ(appcore::ParseRetries("9"), 9u);
    EXPECT_EQ(appcore::ParseRetries("0"), 0u);
    EXPECT_EQ(appcore::ParseRetries(""), 0u);
    EXPECT_EQ(appcore::ParseRetries("12"), 0u);
}

}  // namespace
