// The search, product pages and item reports against the reference service
// on loopback (in-process), as the views drive them.
#include <gtest/gtest.h>

#include <thread>

#include "common/posted_texts.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/watch_item.h"
#include "platform/files.h"
#include "platform/message_names.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "update_service.h"
#include "views/preview_page.h"
#include "views/search_data.h"
#include "views/submitter.h"

namespace {

const auto kWindow = reinterpret_cast<platform::WindowHandle>(0x77);

class CatalogueViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        vnservice::ServiceOptions options;
        options.port = 0;
        options.database = ":memory:";
        options.seeds = {std::string(VARNEL_SOURCE_DIR) + "/server/seed/catalog.sql"};
        service_ = std::make_unique<vnservice::UpdateService>(options);
        const int port = service_->Bind();
        runner_ = std::thread([this] { service_->Run(); });
        for (int i = 0; i < 5000 && !service_->IsRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        platform::AppSettings().WriteText(setting::kCatalogueHost, "127.0.0.1");
        platform::AppSettings().WriteNumber(setting::kCataloguePort, static_cast<uint32_t>(port));
        platform::AppSettings().WriteText(setting::kTempHtmlFolder, folder_.str());
        platform::AppSettings().WriteText(setting::kMachineId, "M-42");
    }
    void TearDown() override { StopService(); }
    void StopService() {
        if (!service_) return;
        service_->Stop();
        runner_.join();
        service_.reset();
    }
    // The end codes posted to the result window so far.
    std::vector<uintptr_t> EndCodes() {
        std::lock_guard<std::mutex> lock(posted_.recorded().mutex);
        std::vector<uintptr_t> codes;
        for (const auto& m : posted_.recorded().others)
            if (m.message == platform::RegisterMessage(wmname::kSearchEnd) && m.window == kWindow)
                codes.push_back(m.wParam);
        return codes;
    }
    size_t ItemReports() {
        auto lock = service_->Store().Lock();
        vnservice::Statement st = service_->Store().Db().Prepare("SELECT COUNT(*) FROM item_reports");
        st.Step();
        return static_cast<size_t>(st.Int(0));
    }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder folder_{"catalogue-views"};
    testing_transport::PostedTexts posted_;
    std::unique_ptr<vnservice::UpdateService> service_;
    std::thread runner_;
};

TEST_F(CatalogueViewsTest, SearchEndsWithItsCodeAndStatusText) {
    Views::CSearchData search;
    EXPECT_EQ(search.StartSearch("firefox", kWindow, true), 1);
    search.WaitThread();
    EXPECT_EQ(EndCodes(), std::vector<uintptr_t>{0});
    EXPECT_EQ(search.GetStatusText(), "");
    ASSERT_EQ(search.GetCount(), 1u);
    EXPECT_TRUE(platform::FileExists(folder_.Path("searchresult.xml")));
    EXPECT_TRUE(platform::FileExists(folder_.Path("zsearchsaxout.xml")));
    EXPECT_EQ(search.StartSearch("firefox", kWindow, false), 1);  // the same keywords: nothing done
    EXPECT_EQ(EndCodes().size(), 1u);

    EXPECT_EQ(search.StartSearch("no such program anywhere", kWindow, false), 1);
    search.WaitThread();
    EXPECT_EQ(EndCodes().back(), 2u);
    EXPECT_EQ(search.GetStatusText(), Views::SearchEndText(2));
    EXPECT_TRUE(search.IsEmpty());

    EXPECT_EQ(search.StartSearch("x", kWindow, false), 0);
    EXPECT_FALSE(search.IsThreadRunning());
    EXPECT_EQ(EndCodes().back(), 4u);

    StopService();
    EXPECT_EQ(search.StartSearch("firefox", kWindow, false), 1);
    search.WaitThread();
    EXPECT_EQ(EndCodes().back(), 3u);
}

TEST_F(CatalogueViewsTest, ANewerSearchReplacesTheRunningOne) {
    Views::CSearchData search;
    ASSERT_EQ(search.StartSearch("mozilla", kWindow, false), 1);
    EXPECT_EQ(search.StartSearch("zip", kWindow, false), 0);
    EXPECT_EQ(search.GetPendingKeywords(), "zip");
    search.WaitThread();
    const uintptr_t first = EndCodes().at(0);  // 1 when the abort came in time, else 0
    EXPECT_TRUE(search.OnSearchEnd(static_cast<int>(first)));
    search.WaitThread();
    EXPECT_EQ(EndCodes().back(), 0u);
    EXPECT_EQ(search.GetCurrentKeywords(), "zip");
    ASSERT_EQ(search.GetCount(), 1u);
    EXPECT_EQ(search.GetItemAt<VN_ItemBase>(0)->GetProductId(), "107");
}

TEST_F(CatalogueViewsTest, AProductPageIsFetchedOnceAndThenReused) {
    VN_WatchItem untracked;
    EXPECT_FALSE(Views::DoFindPreviewInfo(untracked, true));
    ASSERT_TRUE(Views::FindPreviewInfo("107", true));
    const std::string page = platform::ReadWholeFile(folder_.Path("h107.html")).value_or("");
    EXPECT_NE(page.find("7-Zip"), std::string::npos);
    StopService();  // a second look needs no service
    EXPECT_TRUE(Views::FindPreviewInfo("107", true));
    EXPECT_FALSE(Views::FindPreviewInfo("101", true));  // not cached, and the service is gone
    EXPECT_FALSE(platform::FileExists(folder_.Path("h101.html")));
    std::lock_guard<std::mutex> lock(posted_.recorded().mutex);
    size_t created = 0;
    for (const auto& m : posted_.recorded().others)
        created += m.message == platform::RegisterMessage(wmname::kHtmlCreated);
    EXPECT_EQ(created, 1u);
}

TEST_F(CatalogueViewsTest, AReportIsEscapedSentAndClearedOrKeptWhenTheServiceIsDown) {
    VN_WatchItem item;
    item.progName = "Tool <Pro>";
    item.executableName = std::string("tool") + static_cast<char>(200) + ".exe";
    item.installedVers = "1.0";
    item.signature = std::string(300, 's');
    item.reportReason = 180;
    item.reportComments = "a < b";

    XmlRpc::XmlRpcValue members = Submit::CSubmitter::ReportMembers(item, "Other", item.reportComments);
    EXPECT_EQ(static_cast<std::string&>(members["comments"]), "a &lt; b");
    EXPECT_EQ(static_cast<std::string&>(members["programName"]), "Tool &lt;Pro&gt;");
    EXPECT_EQ(static_cast<std::string&>(members["executableName"]), "tool.exe");
    EXPECT_EQ(static_cast<std::string&>(members["machineID"]), "M-42");
    EXPECT_EQ(static_cast<std::string&>(members["mxproClient"]), "1.3.1.55");
    EXPECT_EQ(static_cast<std::string&>(members["signature"]).size(), 255u);
    EXPECT_EQ(static_cast<std::string&>(members["versions"]["InstalledVers"]), "1.0");

    Submit::CSubmitter submitter;
    ASSERT_TRUE(submitter.Execute(item, "Other", item.reportComments));
    EXPECT_EQ(item.reportReason, 0);
    EXPECT_EQ(item.reportComments, "");
    EXPECT_EQ(ItemReports(), 1u);

    StopService();
    item.reportReason = 183;
    item.reportComments = "wrong name";
    EXPECT_FALSE(submitter.Execute(item, "Product name is incorrect", item.reportComments));
    EXPECT_EQ(item.reportReason, 183);
    EXPECT_EQ(item.reportComments, "wrong name");
}

}  // namespace
