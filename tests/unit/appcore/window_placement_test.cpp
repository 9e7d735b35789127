// The main window's placement over the in-memory settings.
#include <gtest/gtest.h>

#include "appcore/window_placement.h"
#include "common/scoped_hook.h"
#include "platform/setting_names.h"

namespace {

class WindowPlacement : public ::testing::Test {
protected:
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    platform::Settings& settings() { return platform::AppSettings(); }
};

TEST_F(WindowPlacement, DefaultsAreTheScreenDividedBy1Point4AndCentred) {
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050), (appcore::WindowRect{200, 150, 1000, 750}));
    // Odd sizes round down and stay inside the screen.
    EXPECT_EQ(appcore::DefaultWindowRect(1366, 768), (appcore::WindowRect{195, 110, 975, 548}));
}

TEST_F(WindowPlacement, StoredValuesReplaceTheDefaultsOneByOne) {
    settings().WriteNumber(setting::kWindowRectLeft, 10);
    settings().WriteNumber(setting::kWindowRectWidth, 640);
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050), (appcore::WindowRect{10, 150, 640, 750}));
    // The screen's own size is still inside it.
    settings().WriteNumber(setting::kWindowRectHeight, 1050);
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050).height, 1050);
}

TEST_F(WindowPlacement, OneValueOutsideTheScreenBringsBackAllFourDefaults) {
    const appcore::WindowRect defaults = appcore::DefaultWindowRect(1400, 1050);
    settings().WriteNumber(setting::kWindowRectLeft, 10);
    settings().WriteNumber(setting::kWindowRectTop, 1051);  // below a screen 1050 high
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050), defaults);

    settings().WriteNumber(setting::kWindowRectTop, 20);
    settings().WriteNumber(setting::kWindowRectWidth, 0xFFFFFFF6u);  // -10 as a DWORD
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050), defaults);

    settings().WriteNumber(setting::kWindowRectWidth, 1401);
    EXPECT_EQ(appcore::MainWindowRect(settings(), 1400, 1050), defaults);
}

TEST_F(WindowPlacement, StoredStyleReplacesTheFramesButNeverDisablesHidesOrParentsIt) {
    constexpr uint32_t kOverlappedWindow = 0x00CF0000u;
    EXPECT_EQ(appcore::MainWindowStyle(settings(), kOverlappedWindow), kOverlappedWindow);
    // WS_CAPTION | WS_DISABLED | WS_VISIBLE | WS_CHILD | WS_SYSMENU stored: caption and system menu stay.
    settings().WriteNumber(setting::kWindowStyle, 0x00C00000u | 0x08000000u | 0x10000000u | 0x40000000u | 0x00080000u);
    EXPECT_EQ(appcore::MainWindowStyle(settings(), kOverlappedWindow), 0x00C80000u);
}

}  // namespace
