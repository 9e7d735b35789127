// The catalogue end to end under Wine, against the reference service on
// loopback: searches started from the search view's own box (XmlRpc++ over
// Winsock), the product page fetched once, transformed by MSXML's XSLT and
// reused, and the today's-updates refresh that the main window starts on
// "WM_Varnel10_StartDailyUpdates". The service's log tells how many calls
// reached it. The filled views are saved to build/screenshots/.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "service/loopback.h"
// (after windows.h)
#include <commctrl.h>

#include "app/app_messages.h"
#include "app/daily_refresh.h"
#include "app/main_events.h"
#include "common/frame_fixture.h"
#include "inventory/daily_item.h"
#include "inventory/search_item.h"
#include "platform/files.h"
#include "platform/message_names.h"
#include "platform/notifier.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "resource.h"
#include "views/preview_page.h"
#include "views/search_data.h"
#include "views/win/item_views.h"

namespace {

using testing_transport::ServicePort;

using testing_ui::CellText;
using testing_ui::PumpFor;
using testing_ui::PumpUntil;
using testing_ui::RowCount;

// How many lines of the service's log hold `text`.
size_t LogLines(const std::string& text) {
    const char* log = std::getenv("VARNEL_SERVICE_LOG");
    if (!log) return 0;
    const std::string all = platform::ReadWholeFile(testing_wine::WindowsPathOf(log)).value_or(std::string());
    size_t count = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + text.size())) ++count;
    return count;
}

// A loopback port whose connections are accepted and not answered until
// Answer: a service that is slow to reply.
class HeldPort {
public:
    HeldPort() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(listener_, 4) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] {
            while (!stop_) {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(listener_, &readable);
                timeval wait{0, 50000};
                if (select(0, &readable, nullptr, nullptr, &wait) == 1) {
                    const SOCKET s = accept(listener_, nullptr, nullptr);
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (s != INVALID_SOCKET) held_.push_back(s);
                }
            }
        });
    }
    ~HeldPort() {
        Close();
        WSACleanup();
    }
    // Replies to every held request with an XML-RPC result whose element 1
    // is `document`, and closes.
    void Answer(const std::string& document) {
        std::string escaped;
        for (char c : document)
            escaped += c == '<' ? std::string("&lt;") : c == '&' ? std::string("&amp;") : std::string(1, c);
        const std::string body =
            "<?xml version=\"1.0\"?><methodResponse><params><param><value><array><data>"
            "<value><i4>1</i4></value><value><string>" +
            escaped + "</string></value></data></array></value></param></params></methodResponse>";
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
        std::lock_guard<std::mutex> lock(mutex_);
        for (SOCKET s : held_) {
            char request[4096];
            recv(s, request, sizeof request, 0);
            send(s, reply.data(), static_cast<int>(reply.size()), 0);
            shutdown(s, SD_SEND);
        }
    }
    int port() const { return port_; }
    size_t Connections() {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_.size();
    }
    void Close() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        // The listener first: a client that tries again must find nothing there.
        if (listener_ != INVALID_SOCKET) closesocket(listener_);
        listener_ = INVALID_SOCKET;
        std::lock_guard<std::mutex> lock(mutex_);
        for (SOCKET s : held_) closesocket(s);
        held_.clear();
    }

private:
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<SOCKET> held_;
};

class CatalogueWin : public testing_ui::FrameTest {
protected:
    CatalogueWin() : FrameTest("catalogue-data") {}
    void SetUp() override {
        FrameTest::SetUp();
        platform::Settings& settings = platform::AppSettings();
        settings.WriteText(setting::kTempHtmlFolder, html_.str());
        settings.WriteFlag(setting::kShowTaskbarIcon, false);
    }
    void PointAtService(int port) {
        platform::AppSettings().WriteText(setting::kCatalogueHost, "127.0.0.1");
        platform::AppSettings().WriteNumber(setting::kCataloguePort, static_cast<uint32_t>(port));
        platform::AppSettings().WriteText(setting::kDailyUpdatesUrl,
                                          testing_transport::Url(port, "/varnel/recent.php"));
    }
    Views::CSearchView* SearchView() {
        Command(ID_VIEW_SEARCH);
        return dynamic_cast<Views::CSearchView*>(frame_->CurrentView());
    }
    // Types the keywords into the view's box and clicks "Search".
    void TypeAndSearch(Views::CSearchView& view, const std::string& keywords) {
        SetWindowTextA(view.SearchBox(), keywords.c_str());
        SendMessageA(view.Host(), WM_COMMAND, MAKEWPARAM(Views::CSearchView::kSearchButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(view.SearchButton()));
    }
    Views::CSearchData& Search() { return *dynamic_cast<Views::CSearchData*>(frame_->SearchList()); }
    bool SearchIdle() { return !Search().IsThreadRunning() && Search().GetPendingKeywords().empty(); }
    // The search view once a search for `keywords` has ended with rows in it
    // (the rows are the view's after it has taken the search's end message;
    // selecting one before that would be undone by the view's reload), or
    // nullptr after a failure is recorded.
    Views::CSearchView* ViewWithResultsFor(const std::string& keywords) {
        Views::CSearchView* view = SearchView();
        if (!view) {
            ADD_FAILURE() << "no search view";
            return nullptr;
        }
        view->Search(keywords);
        if (!PumpUntil([&] { return SearchIdle() && RowCount(view->List()) > 0; })) {
            ADD_FAILURE() << "no rows for \"" << keywords << "\": " << view->StatusText();
            return nullptr;
        }
        return view;
    }
    void Screenshot(const std::string& name) { ShowAndSave(name, 820, 380, 15); }

    testing_support::TempFolder html_{"catalogue-html"};
};

TEST_F(CatalogueWin, SearchesFromTheSearchBoxFillTheViewOrSayWhyNot) {
    VARNEL_REQUIRE_PORT(port, ServicePort());
    PointAtService(port);
    CreateFrame();
    Views::CSearchView* view = SearchView();
    ASSERT_NE(view, nullptr);
    const HWND list = view->List();

    // Results: the rows are the catalogue's products, sorted by name.
    const size_t searches = LogLines("catalogue: search \"zip\"");
    TypeAndSearch(*view, "zip");
    ASSERT_TRUE(PumpUntil([&] { return SearchIdle() && RowCount(list) > 0; })) << view->StatusText();
    EXPECT_EQ(LogLines("catalogue: search \"zip\""), searches + 1);
    EXPECT_EQ(Search().GetStatusText(), "");
    EXPECT_EQ(static_cast<size_t>(RowCount(list)), Search().GetCount());
    EXPECT_NE(CellText(list, 0, 0).find("7-Zip"), std::string::npos) << CellText(list, 0, 0);
    EXPECT_FALSE(CellText(list, 0, 1).empty()) << "current version";
    EXPECT_TRUE(platform::FileExists(html_.Path("searchresult.xml")));
    EXPECT_EQ(view->StatusText(),
              RowCount(list) == 1 ? "1 product found" : std::to_string(RowCount(list)) + " products found");

    // Nothing found: code 2 and its text, no rows.
    TypeAndSearch(*view, "no such program anywhere");
    ASSERT_TRUE(PumpUntil([&] { return SearchIdle() && view->StatusText() == Views::SearchEndText(2); }))
        << view->StatusText();
    EXPECT_EQ(RowCount(list), 0);
    EXPECT_TRUE(Search().IsEmpty());
    Screenshot("search_view_nothing_found");
    view = SearchView();  // shown again after the picture
    ASSERT_NE(view, nullptr);

    // One character: code 4 at once, and no call reaches the service.
    const size_t before = LogLines("catalogue: search");
    TypeAndSearch(*view, "z");
    EXPECT_EQ(view->StatusText(), Views::SearchEndText(4));
    PumpFor(500);
    EXPECT_EQ(view->StatusText(), Views::SearchEndText(4));
    EXPECT_EQ(LogLines("catalogue: search"), before);
    EXPECT_EQ(RowCount(list), 0);

    // Enter in the box searches too.
    SetWindowTextA(view->SearchBox(), "mozilla");
    SendMessageA(view->SearchBox(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return SearchIdle() && RowCount(list) > 0; })) << view->StatusText();
    EXPECT_NE(CellText(list, 0, 0).find("Mozilla"), std::string::npos) << CellText(list, 0, 0);
    Screenshot("search_view_results");
}

TEST_F(CatalogueWin, ASearchTypedWhileOneHangsReplacesIt) {
    VARNEL_REQUIRE_PORT(port, ServicePort());
    HeldPort hanging;
    ASSERT_NE(hanging.port(), 0);

    PointAtService(hanging.port());
    CreateFrame();
    Views::CSearchView* view = SearchView();
    ASSERT_NE(view, nullptr);
    const size_t oldSearches = LogLines("catalogue: search \"mozilla\"");

    TypeAndSearch(*view, "mozilla");
    ASSERT_TRUE(PumpUntil([&] { return hanging.Connections() == 1; }, 5000));
    ASSERT_TRUE(Search().IsThreadRunning()) << "the first search waits for the hanging service";
    PointAtService(port);
    TypeAndSearch(*view, "zip");
    EXPECT_EQ(Search().GetPendingKeywords(), "zip");
    EXPECT_EQ(view->StatusText(), Views::kSearchingText);
    // The first search's reply arrives after all: it was aborted, so its
    // product is never shown, and the newer keywords run.
    hanging.Answer("<results><product><productID>999</productID><name>Stale Result</name></product></results>");

    ASSERT_TRUE(PumpUntil([&] { return SearchIdle() && RowCount(view->List()) > 0; }))
        << view->StatusText() << " running " << Search().IsThreadRunning() << " pending "
        << Search().GetPendingKeywords() << " current " << Search().GetCurrentKeywords() << " held "
        << hanging.Connections();
    EXPECT_EQ(Search().GetCurrentKeywords(), "zip");
    for (size_t i = 0; i < Search().GetCount(); ++i) {
        const std::string name = Search().GetItemAt<VN_SearchItem>(i)->GetDisplayName(false);
        EXPECT_NE(name.find("Zip"), std::string::npos) << name;
    }
    EXPECT_EQ(LogLines("catalogue: search \"mozilla\""), oldSearches) << "the hanging service got the first";
}

TEST_F(CatalogueWin, AProductPageIsFetchedOnceTransformedByMsxmlAndReused) {
    VARNEL_REQUIRE_PORT(port, ServicePort());
    PointAtService(port);
    CreateFrame();
    Views::CSearchView* view = ViewWithResultsFor("7-zip");
    ASSERT_NE(view, nullptr);
    const auto* item = Search().GetItemAt<VN_SearchItem>(0);
    const std::string id = item->GetProductId();
    ASSERT_FALSE(id.empty());

    const size_t populates = LogLines("catalogue: populate " + id);
    const UINT created = platform::RegisterMessage(wmname::kHtmlCreated);
    ASSERT_TRUE(Views::DoFindPreviewInfo(*item, true));
    const std::string page = platform::ReadWholeFile(html_.Path("h" + id + ".html")).value_or(std::string());
    EXPECT_NE(page.find("<h1>" + item->GetDisplayName(false) + "</h1>"), std::string::npos) << page;
    EXPECT_NE(page.find("Current Version"), std::string::npos) << page;
    EXPECT_NE(page.find("Download"), std::string::npos) << page;
    EXPECT_EQ(LogLines("catalogue: populate " + id), populates + 1);
    // Kept for win.catalogue.product_page_png, which renders it in Chromium.
    EXPECT_TRUE(platform::WriteFileAtomically(testing_wine::BuildPath("tests/win/catalogue_product_page.html"), page));
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, frame_->Window(), created, created, PM_REMOVE)) << "HtmlCreated to the main window";

    // Again: the cached page, no call and no notice.
    ASSERT_TRUE(Views::DoFindPreviewInfo(*item, true));
    EXPECT_EQ(LogLines("catalogue: populate " + id), populates + 1);
    EXPECT_FALSE(PeekMessageA(&msg, frame_->Window(), created, created, PM_REMOVE));
}

TEST_F(CatalogueWin, TodaysUpdatesFillAfterACheckAndSurviveTheServiceBeingDown) {
    VARNEL_REQUIRE_PORT(port, ServicePort());
    PointAtService(port);
    CreateFrame();
    Command(ID_VIEW_DAILY);
    Views::CListViewEx* view = frame_->CurrentView();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->Kind(), viewmodel::ViewKind::Daily);
    EXPECT_EQ(RowCount(view->List()), 0);

    PostMessageA(frame_->Window(), app::Messages().startDailyUpdates, 0, 0);
    ASSERT_TRUE(
        PumpUntil([&] { return !frame_->DailyList()->IsEmpty() && !frame_->DailyRefresh()->Refresh().Running(); }));
    const size_t count = frame_->DailyList()->GetCount();
    EXPECT_EQ(static_cast<size_t>(RowCount(view->List())), count) << "the view rebuilt its rows";
    const std::string name = frame_->DailyList()->GetItemAt<VN_DailyItem>(0)->catalogItem->name;
    EXPECT_FALSE(name.empty());
    const std::string stored = platform::ReadWholeFile(folder_.Path("dailyupdates.db")).value_or(std::string());
    ASSERT_FALSE(stored.empty());
    Screenshot("todays_updates_view");

    // The service is down at the next check: the list and its file stay.
    platform::AppSettings().WriteText(setting::kDailyUpdatesUrl,
                                      testing_transport::Url(testing_transport::ClosedPort(), "/varnel/recent.php"));
    // While the refresh runs no scan or check may start.
    SendMessageA(frame_->Window(), app::Messages().startDailyUpdates, 0, 0);
    EXPECT_TRUE(frame_->Commands()->Context().dailyListLoading);
    EXPECT_FALSE(appcore::CommandState(ID_SCAN_AND_CHECK, frame_->Commands()->Context()).enabled);
    PumpFor(100);
    ASSERT_TRUE(PumpUntil([&] { return !frame_->DailyRefresh()->Refresh().Running(); }, 60000));
    EXPECT_FALSE(frame_->Commands()->Context().dailyListLoading);
    EXPECT_EQ(frame_->DailyList()->GetCount(), count);
    EXPECT_EQ(static_cast<size_t>(RowCount(view->List())), count);
    EXPECT_EQ(platform::ReadWholeFile(folder_.Path("dailyupdates.db")).value_or(std::string()), stored);

    // A new start of the program shows the stored list.
    frame_.reset();
    CreateFrame();
    EXPECT_EQ(frame_->DailyList()->GetCount(), count);
}

}  // namespace

namespace {

TEST_F(CatalogueWin, ASearchWhileTheServiceIsDownEndsWithTheServerError) {
    PointAtService(testing_transport::ClosedPort());
    CreateFrame();
    Views::CSearchView* view = SearchView();
    ASSERT_NE(view, nullptr);
    const auto started = std::chrono::steady_clock::now();
    TypeAndSearch(*view, "zip");
    ASSERT_TRUE(PumpUntil([&] { return SearchIdle() && view->StatusText() == Views::SearchEndText(3); }, 40000))
        << view->StatusText();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::printf("search against a closed port ended after %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_EQ(RowCount(view->List()), 0);
}

}  // namespace

namespace {

TEST_F(CatalogueWin, ThePreviewFetchesTheSelectedPageSaysWhenItCouldNotAndEndsItsFetchAtExit) {
    VARNEL_REQUIRE_PORT(port, ServicePort());
    PointAtService(port);
    CreateFrame();
    Views::CSearchView* view = ViewWithResultsFor("7-zip");
    ASSERT_NE(view, nullptr);
    const auto* item = Search().GetItemAt<VN_SearchItem>(0);
    const std::string page = html_.Path("h" + item->GetProductId() + ".html");
    ASSERT_FALSE(platform::FileExists(page));

    // Selected in the list: the page is fetched and shown.
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(view->List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    app::CPreviewPane& preview = frame_->PreviewPane();
    ASSERT_TRUE(PumpUntil([&] { return preview.Text().find("Current Version") != std::string::npos; }))
        << preview.Text();
    EXPECT_TRUE(platform::FileExists(page));

    // The service is down: a short line says so instead of waiting forever.
    ASSERT_TRUE(platform::RemoveFile(page));
    PointAtService(testing_transport::ClosedPort());
    preview.ShowItem(item);
    EXPECT_NE(preview.Text().find("Loading the product page..."), std::string::npos) << preview.Text();
    ASSERT_TRUE(PumpUntil([&] { return preview.Text().find("could not be fetched") != std::string::npos; }, 40000))
        << preview.Text();

    // A service that never answers holds the fetch; leaving waits a bounded
    // time, and the late answer is neither written nor announced.
    HeldPort hanging;
    ASSERT_NE(hanging.port(), 0);
    PointAtService(hanging.port());
    preview.ShowItem(item);
    ASSERT_TRUE(PumpUntil([&] { return hanging.Connections() == 1; }, 5000));
    const auto leaving = std::chrono::steady_clock::now();
    frame_.reset();
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - leaving).count();
    EXPECT_LT(took, app::CPageFetch::kStopWaitMs + 2000);
    hanging.Answer("<product><productID>1</productID><name>Late</name></product>");
    PumpFor(1000);
    EXPECT_FALSE(platform::FileExists(page));
}

}  // namespace
