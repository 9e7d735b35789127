// The main window inside the test process: what workers and other processes
// post to it. Needs the virtual display.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/app_messages.h"
#include "app/main_events.h"
#include "app/one_instance.h"
#include "app/scan_worker.h"
#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "platform/event_log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"
#include "resource.h"
#include "screen_png.h"
#include "service/loopback.h"

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

namespace {

// Dispatches what is waiting; true when WM_QUIT was among it.
bool Pump() {
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) quit = true;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return quit;
}

HGLOBAL TextBlock(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 5);
    char* p = static_cast<char*>(GlobalLock(block));
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    return block;
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        frame_ = std::make_unique<app::CMainEvents>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(frame_->Create());
    }
    void TearDown() override {
        frame_.reset();
        Pump();
    }
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::EventRecorder recorder_;
    std::unique_ptr<app::CMainEvents> frame_;
};

TEST_F(Frame, WorkerTextBecomesTheLastErrorAndIsReported) {
    const HWND window = frame_->Window();
    ASSERT_TRUE(PostMessageA(window, app::Messages().setMessage, reinterpret_cast<WPARAM>(TextBlock("")), 0));
    ASSERT_TRUE(PostMessageA(window, app::Messages().setMessage,
                             reinterpret_cast<WPARAM>(TextBlock("Server said %1 and %s")), 0));
    Pump();
    EXPECT_EQ(frame_->LastErrorText(), "Server said %1 and %s");
    const auto events = recorder_.Events();
    ASSERT_EQ(events.size(), 1u) << "an empty text is not reported";
    EXPECT_EQ(events[0].kind, platform::EventKind::Error);
    // String 346 with the text put in literally (line breaks as FormatMessage writes them).
    const std::string& shown = events[0].text;
    EXPECT_EQ(shown.rfind("Unable to complete request due to error:\r", 0), 0u) << shown;
    EXPECT_EQ(shown.find("%1!s!"), std::string::npos) << shown;
    const std::string tail = "Server said %1 and %s";
    ASSERT_GT(shown.size(), tail.size());
    EXPECT_EQ(shown.substr(shown.size() - tail.size()), tail);
    const char before = shown[shown.size() - tail.size() - 1];
    EXPECT_TRUE(before == '\r' || before == '\n') << shown;
}

TEST_F(Frame, AnswersTheInstanceQuestionAndBoundsCopiedText) {
    const HWND window = frame_->Window();
    EXPECT_EQ(SendMessageA(window, app::Messages().isMe, 0, 0), 1);
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "Varnel");

    std::string text = "open this";
    COPYDATASTRUCT data{app::COneInstance::kCopyDataId, static_cast<DWORD>(text.size()), &text[0]};  // no zero
    EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
    EXPECT_EQ(app::COneInstance::LastCopyData(), "open this");

    std::string big(2000, 'x');
    data = {app::COneInstance::kCopyDataId, static_cast<DWORD>(big.size()), &big[0]};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_EQ(app::COneInstance::LastCopyData(), "") << "over 1,023 bytes is not taken";

    data = {101, static_cast<DWORD>(text.size()), &text[0]};
    EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), FALSE);
}

TEST_F(Frame, ProgressOfACheckSetsAndClearsScanning) {
    const HWND window = frame_->Window();
    const UINT progress = app::Messages().progress;
    SendMessageA(window, progress, 1, 0);
    EXPECT_FALSE(frame_->Scanning()) << "a scan without a check";
    SendMessageA(window, progress, 1, 1);
    EXPECT_TRUE(frame_->Scanning());
    SendMessageA(window, progress, 6, 0);
    SendMessageA(window, progress, 7, 0);
    EXPECT_TRUE(frame_->Scanning());
    SendMessageA(window, progress, 7, 1);
    EXPECT_FALSE(frame_->Scanning());
}

TEST_F(Frame, ScheduleTimerTicksAfterStartUpUntilExit) {
    frame_->FinishStartup();
    const DWORD end = GetTickCount() + 5000;
    while (frame_->ScheduleTicks() == 0 && GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        Pump();
    }
    EXPECT_GE(frame_->ScheduleTicks(), 1u);
    EXPECT_TRUE(recorder_.Events().empty()) << "a timer was available: nothing to report";
    PostMessageA(frame_->Window(), app::Messages().exit, 0, 0);
    EXPECT_TRUE(Pump()) << "Exit ends the message loop";
    EXPECT_EQ(frame_->Window(), nullptr);
}

TEST_F(Frame, CommandsFromAnotherProgramRunOnlyWhileTheirMenuItemsWouldBeEnabled) {
    const HWND window = frame_->Window();
    const UINT command = app::Messages().registerCommand;
    // Close Window without the icon would leave no way back: ignored.
    frame_->ShowTrayIcon(false);
    SendMessageA(window, command, ID_CLOSE_WINDOW, 0);
    EXPECT_FALSE(Pump());
    ASSERT_EQ(frame_->Window(), window);

    // Scan Now while today's updates are refreshed: ignored; once the
    // refresh has ended it starts a run (stopped again at once).
    platform::AppSettings().WriteText(setting::kDailyUpdatesUrl,
                                      testing_transport::Url(testing_transport::ClosedPort(), "/varnel/recent.php"));
    frame_->DailyRefresh()->Start();
    ASSERT_TRUE(frame_->DailyRefresh()->Refresh().Running()) << "ends only when its notice is taken";
    SendMessageA(window, command, ID_SCAN_NOW, 0);
    EXPECT_FALSE(frame_->Worker()->IsWorkerRunning());
    // The toolbar greys what the menus grey, and follows the refresh's end
    // by itself.
    const HWND toolbar = frame_->Commands()->Toolbar();
    const auto enabled = [toolbar](unsigned id) { return SendMessageA(toolbar, TB_ISBUTTONENABLED, id, 0) != 0; };
    EXPECT_FALSE(enabled(ID_SCAN_AND_CHECK));
    EXPECT_FALSE(enabled(ID_STOP_CHECKING));
    const DWORD end = GetTickCount() + 20000;
    while (frame_->DailyRefresh()->Refresh().Running() && GetTickCount() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    ASSERT_FALSE(frame_->DailyRefresh()->Refresh().Running());
    for (const DWORD until = GetTickCount() + 2000; !enabled(ID_SCAN_AND_CHECK) && GetTickCount() < until;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    EXPECT_TRUE(enabled(ID_SCAN_AND_CHECK));
    SendMessageA(window, command, ID_SCAN_NOW, 0);
    EXPECT_TRUE(frame_->Worker()->IsWorkerRunning());
    EXPECT_FALSE(enabled(ID_SCAN_AND_CHECK));
    EXPECT_TRUE(enabled(ID_STOP_CHECKING));
    SetWindowPos(window, HWND_TOP, 40, 40, 640, 160, SWP_SHOWWINDOW);
    UpdateWindow(window);
    RECT bar{};
    GetWindowRect(toolbar, &bar);
    EXPECT_TRUE(testing_app::SaveScreenPng(bar, "toolbar_scanning"));
    SendMessageA(window, command, ID_STOP_SCAN, 0);
    EXPECT_FALSE(frame_->Worker()->IsWorkerRunning());
    EXPECT_TRUE(enabled(ID_SCAN_AND_CHECK));
    EXPECT_FALSE(enabled(ID_STOP_CHECKING));
}

}  // namespace
