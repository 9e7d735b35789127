// The main frame's "Download" command under Wine: an item with a direct
// download goes to the frame's download manager, which shows itself; an
// item without one opens its product page; the history view's list is the
// download history the frame read at start-up, and the exit keeps what
// the download manager still shows in it. (The transfers themselves
// are proved against the reference service in the download manager's tests.)
#include <gtest/gtest.h>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

#include "app/main_events.h"
#include "common/frame_fixture.h"
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

using testing_ui::Pump;

class FrameDownload : public testing_ui::FrameTest {
protected:
    FrameDownload() : FrameTest("varnel-frame-download") {}
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        FrameTest::SetUp();
        dlmgr::RegisterItemClasses();  // as the program does before the frame reads the history
    }
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
    ASSERT_NO_FATAL_FAILURE(CreateFrame());
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
    Command(ID_VIEW_SOFTWARE);
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
    Command(ID_LA_DOWNLOAD);
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
    Command(ID_LA_DOWNLOAD);
    EXPECT_EQ(pages, std::vector<std::string>{"http://127.0.0.1:9/product/zip-tool"});
    EXPECT_TRUE(downloads.ListData().Items().empty());

    // A product address from the service that is not a web page is not
    // handed to the shell, by "Download" or by "Read More".
    item->productUrl = "\\\\server\\share\\setup.exe";
    Command(ID_LA_DOWNLOAD);
    Command(ID_LA_READ_MORE);
    EXPECT_EQ(pages.size(), 1u);

    // One more, still in the open window when the program exits: the exit
    // keeps it in the history file.
    item->directDlIsFile = true;
    Command(ID_LA_DOWNLOAD);
    for (int i = 0; i < 500 && (downloads.ListData().Current() || downloads.ListData().AnyActiveOrQueued()); ++i)
        Pump(1);
    ASSERT_EQ(downloads.ListData().Items().size(), 1u);
    frame_->Exit();
    dlmgr::CDownloadHistory stored(folder_.str());
    ASSERT_TRUE(stored.Load());
    ASSERT_EQ(stored.GetCount(), 3u);
    EXPECT_EQ(stored.GetItemAt<dlmgr::CHistoryItem>(2)->Name, "Zip Tool");
    EXPECT_EQ(stored.GetItemAt<dlmgr::CHistoryItem>(2)->State, dlmgr::kStateCanceled);
}

}  // namespace
