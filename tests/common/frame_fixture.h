// A test fixture for the Windows tests of the main frame: the program's
// settings in memory, its data folder a temporary folder of the test's own,
// and the frame made on the test's thread and destroyed at its end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main_events.h"
#include "common/temp_folder.h"
#include "common/win_ui.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace testing_ui {

class FrameTest : public ::testing::Test {
protected:
    explicit FrameTest(const std::string& folder = "varnel-test") : folder_(folder) {}

    void SetUp() override {
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
        platform::AppSettings().WriteText(setting::kDataFolder, folder_.str());
    }
    void TearDown() override {
        frame_.reset();
        Pump(3);
        platform::InstallSettingsStore(nullptr);
    }
    void CreateFrame() {
        frame_ = std::make_unique<app::CMainEvents>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(frame_->Create());
    }
    void Command(unsigned id) { SendMessageA(frame_->Window(), WM_COMMAND, id, 0); }
    // Shows the frame at (20, 20) in the size given, saves it as <name>.png
    // once it has drawn itself, and hides it again.
    void ShowAndSave(const std::string& name, int width, int height, int rounds) {
        SetWindowPos(frame_->Window(), HWND_TOP, 20, 20, width, height, SWP_SHOWWINDOW);
        SetForegroundWindow(frame_->Window());
        UpdateWindow(frame_->Window());
        Pump(rounds);
        SaveScreenshot(frame_->Window(), name);
        ShowWindow(frame_->Window(), SW_HIDE);
    }

    testing_support::TempFolder folder_;
    std::unique_ptr<app::CMainEvents> frame_;
};

}  // namespace testing_ui
