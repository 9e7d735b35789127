// The main frame's "Download" command under Wine: an item with a direct
// download goes to the frame's download manager, which shows itself; an
// item without one opens its product page; the history view's list is the
// download history the frame read at start-up. (The transfers themselves
// are proved against the reference service in the download manager's tests.)
#include <gtest/gtest.h>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

#include "app/main_events.h"
#include "common/temp_folder.h"
#include "dlmgr/download_item.h"
#include "dlmgr/history_item.h"
#include "dlmgr/win/download_manager_dlg.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"
#include "resource.h"

namespace {

void Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
}

class FrameDownload : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
        platform::AppSettings().WriteText(setting::kDataFolder, folder_.str());
        dlmgr::RegisterItemClasses();  // as the program does before the frame reads the history
    }
    void TearDown() override {
        frame_.reset();
        Pump(1);
        platform::InstallSettingsStore(nullptr);
    }

    testing_support::TempFolder folder_{"varnel-frame-download"};
    std::unique_ptr<app::CMainEvents> frame_;
};

TEST_F(FrameDownload, DirectDownloadsGoToTheDownloadManagerOthersToTheProductPage) {
    // A history kept from an earlier session.
    {
        dlmgr::CDownloadHistory history(folder_.str());
        auto earlier = std::make_unique<dlmgr::CHistoryItem>();
        earlier->State = dlmgr::kStateSuccessful;
        earlier->Name = "Earlier Tool";
        history.AddTail(std::move(earlier));
        ASSERT_TRUE(history.Save());
    }
    frame_ = std::make_unique<app::CMainEvents>(GetModuleHandleA(nullptr));
    ASSERT_TRUE(frame_->Create());
    ASSERT_EQ(frame_->HistoryList()->GetCount(), 1u);

    auto program = std::make_unique<VN_WatchItem>();
    program->SetProgName("Zip Tool");
    program->myVersion = "1.0";
    program->SetCurrentVers("2.0");
    program->groupCurrentCount = 1;
    program->outdated = true;
    program->productUrl = "http://127.0.0.1:9/product/zip-tool";
    program->directDlUrl = "http://127.0.0.1:9/files/zt-2.0.exe";  // nothing listens: the transfer fails
    program->directDlIsFile = true;
    VN_WatchItem* item = static_cast<VN_WatchItem*>(frame_->WatchList()->AddTail(std::move(program)));
    SendMessageA(frame_->Window(), WM_COMMAND, ID_VIEW_SOFTWARE, 0);
    Views::CListViewEx* view = frame_->CurrentView();
    ASSERT_NE(view, nullptr);
    std::vector<std::string> pages;
    view->openPage = [&pages](const std::string& page) {
        pages.push_back(page);
        return true;
    };
    view->Reload();
    ListView_SetItemState(view->List(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

    dlmgr::CDownloadManagerDlg& downloads = *frame_->Downloads();
    EXPECT_FALSE(IsWindowVisible(downloads.Window()));
    SendMessageA(frame_->Window(), WM_COMMAND, ID_LA_DOWNLOAD, 0);
    ASSERT_EQ(downloads.ListData().Items().size(), 1u);
    EXPECT_EQ(downloads.ListData().Items()[0]->Name, "Zip Tool");
    EXPECT_EQ(downloads.ListData().Items()[0]->Url, "http://127.0.0.1:9/files/zt-2.0.exe");
    EXPECT_TRUE(IsWindowVisible(downloads.Window()));
    EXPECT_TRUE(pages.empty());
    for (int i = 0; i < 500 && (downloads.ListData().Current() || downloads.ListData().AnyActiveOrQueued()); ++i)
        Pump(1);
    EXPECT_EQ(downloads.ListData().Items()[0]->State, dlmgr::kStateCanceled);

    // "&Close" moves it into the history the history view shows.
    SendMessageA(downloads.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(frame_->HistoryList()->GetCount(), 2u);

    item->directDlIsFile = false;
    SendMessageA(frame_->Window(), WM_COMMAND, ID_LA_DOWNLOAD, 0);
    EXPECT_EQ(pages, std::vector<std::string>{"http://127.0.0.1:9/product/zip-tool"});
    EXPECT_TRUE(downloads.ListData().Items().empty());
}

}  // namespace
