// The scan worker of the main frame under Wine: the closing-connection
// dialog (rendered and saved as a PNG), a stop that waits behind it, and an
// exit during a scan that stops the worker cooperatively and leaves the list
// files whole. The product scan is a slow stand-in that polls the stop event
// between items, as the real scanners do. Needs the virtual display.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "app/closing_connection_dlg.h"
#include "app/scan_worker.h"
#include "common/posted_texts.h"
#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "common/window_png.h"
#include "engine/engine_system.h"
#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "registry_guard.h"
#include "scanners/program_discovery.h"
#include "window_png.h"

namespace {

using namespace std::chrono_literals;

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Installed products found one by one, slowly, until the stop event is set.
class SlowProducts final : public scanners::IProductScanners {
public:
    explicit SlowProducts(std::atomic<int>& found) : found_(found) {}
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList& list) override {
        for (int i = 0; i < 400; ++i) {
            if (list.IsStopRequested()) return true;
            VN_WatchItem item;
            item.SetProgName("Slow Product " + std::to_string(i));
            item.keyName = "SlowProduct" + std::to_string(i);
            item.uninstallString = "C:\\Slow\\" + std::to_string(i) + "\\unins.exe";
            item.installedVers = "1." + std::to_string(i);
            list.AddOrMerge(item, false, false);
            ++found_;
            Sleep(10);
        }
        return false;
    }

private:
    std::atomic<int>& found_;
};

class ScanWorker : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        platform::AppSettings().WriteNumber(setting::kScanDevices, 0);
        folder_ = temp_.str();
        watch_ = std::make_unique<VN_WatchList>(folder_);
        watch_->SetServiceFileFolders(folder_, folder_ + "\\");
        drivers_ = std::make_unique<Views::CDriverData>(folder_);
        owner_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        worker_ = std::make_unique<app::CScanWorker>(GetModuleHandleA(nullptr), *watch_, *drivers_);
        worker_->SetFrameWindow(owner_);
    }
    void TearDown() override {
        worker_.reset();
        watch_.reset();
        drivers_.reset();
        DestroyWindow(owner_);
    }
    bool WaitForItems(int count) {
        for (int i = 0; i < 500 && found_ < count; ++i) Sleep(10);
        return found_ >= count;
    }
    // The list file reads back whole; answers its entry count (-1 when it does not).
    int SavedEntries() {
        VN_WatchList reread(folder_);
        if (!reread.LoadFile(folder_ + "\\varnel.db")) return -1;
        return static_cast<int>(reread.GetCount());
    }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    std::atomic<int> found_{0};
    testing_support::ScopedHook<scanners::InstallProductScanners> products_{std::make_unique<SlowProducts>(found_)};
    testing_support::TempFolder temp_{"varnel-worker"};
    std::string folder_;
    std::unique_ptr<VN_WatchList> watch_;
    std::unique_ptr<Views::CDriverData> drivers_;
    HWND owner_ = nullptr;
    std::unique_ptr<app::CScanWorker> worker_;
};

}  // namespace

TEST_F(ScanWorker, TheClosingConnectionDialogShowsItsTextsStepsAndDisablesItsOwner) {
    ShowWindow(owner_, SW_SHOW);
    {
        app::CClosingConnectionDlg dialog(GetModuleHandleA(nullptr), owner_);
        ASSERT_NE(dialog.Window(), nullptr);
        EXPECT_TRUE(IsWindowVisible(dialog.Window()));
        EXPECT_FALSE(IsWindowEnabled(owner_));
        char text[128] = {};
        std::vector<std::string> texts;
        for (HWND child = GetWindow(dialog.Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            GetWindowTextA(child, text, sizeof text);
            if (text[0]) texts.emplace_back(text);
        }
        EXPECT_EQ(texts, (std::vector<std::string>{"Please wait while the connection is closed.",
                                                   "This may take up to two minutes to complete."}));
        for (int i = 0; i < 30; ++i) dialog.StepProgress();
        EXPECT_EQ(dialog.Position(), 30);
        Pump();
        CreateDirectoryA(testing_app::BuildPath("../screenshots").c_str(), nullptr);
        const std::string png = testing_app::BuildPath("../screenshots/closing_connection_dialog.png");
        EXPECT_TRUE(testing_support::SaveWindowPng(dialog.Window(), std::wstring(png.begin(), png.end()))) << png;
    }
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(ScanWorker, AStopWaitsForTheWorkerAndTheNextRunStartsWithTheStopEventReset) {
    ASSERT_TRUE(worker_->StartScan(false, true));
    EXPECT_TRUE(worker_->userStarted);
    ASSERT_TRUE(WaitForItems(5));
    EXPECT_TRUE(worker_->IsWorkerRunning());
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker_->StopWorker());
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s) << "the scan polls the stop event between items";
    EXPECT_FALSE(worker_->IsWorkerRunning());
    EXPECT_FALSE(watch_->IsStopRequested());
    EXPECT_TRUE(worker_->stopping);
    EXPECT_FALSE(worker_->scanning);
    const int stoppedAt = found_;
    EXPECT_LT(stoppedAt, 400);
    EXPECT_GT(SavedEntries(), 0) << "the stopped scan saved what it had found";
}

TEST_F(ScanWorker, AnExitDuringAScanStopsItCooperativelyAndEveryListFileStaysWhole) {
    // Exits at several moments of a scan, down to the list's save.
    for (DWORD delay : {0u, 15u, 60u, 250u, 1200u}) {
        found_ = 0;
        ASSERT_TRUE(worker_->StartScan(false, false));
        Sleep(delay);
        EXPECT_TRUE(worker_->StopForExit()) << "ended by itself after " << delay << " ms";
        EXPECT_FALSE(worker_->IsWorkerRunning());
        const int saved = SavedEntries();
        EXPECT_GE(saved, 0) << "varnel.db does not read back after an exit " << delay << " ms into the scan";
        Views::CDriverData drivers(folder_);
        EXPECT_TRUE(drivers.Load());
    }
    EXPECT_TRUE(worker_->StopForExit(10)) << "no worker: nothing to end";
}

TEST_F(ScanWorker, AnOfflineCheckIsRefusedWithTheUsersQuestionOnlyWhenTheUserAsked) {
    class Offline final : public engine::IEngineSystem {
    public:
        bool IsConnected() override { return false; }
        bool BeginThreadCom() override { return false; }
        void EndThreadCom() override {}
        void OpenUrl(const std::string&) override {}
    };
    testing_support::ScopedHook<engine::InstallEngineSystem> noConnection{std::make_unique<Offline>()};
    testing_support::EventRecorder events;
    testing_transport::PostedTexts posted;
    worker_->StartCheck(false);
    EXPECT_TRUE(events.Texts().empty());
    worker_->StartCheck(true);
    EXPECT_FALSE(worker_->IsWorkerRunning());
    const std::string offline = platform::LoadText(app::CScanWorker::kOfflinePostedTextId);
    EXPECT_EQ(posted.Texts(), (std::vector<std::string>{offline, offline}));
    ASSERT_EQ(events.Texts().size(), 1u);
    EXPECT_EQ(events.Texts()[0], platform::LoadText(app::CScanWorker::kOfflineQuestionTextId));
}
