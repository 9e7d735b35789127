// Keywords typed while a search runs are what the user asked for last: they
// run however the search before them ended, a failed one included.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "common/posted_texts.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "platform/message_names.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "update_service.h"
#include "views/search_data.h"

namespace {

const auto kWindow = reinterpret_cast<platform::WindowHandle>(0x78);

void PointAt(int port) {
    platform::AppSettings().WriteText(setting::kCatalogueHost, "127.0.0.1");
    platform::AppSettings().WriteNumber(setting::kCataloguePort, static_cast<uint32_t>(port));
}

TEST(SearchPending, TheWaitingKeywordsRunAfterASearchThatFailed) {
    testing_support::ScopedHook<platform::InstallSettingsStore> settings{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder folder{"search-pending"};
    testing_transport::PostedTexts posted;
    platform::AppSettings().WriteText(setting::kTempHtmlFolder, folder.str());
    vnservice::ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    options.seeds = {std::string(VARNEL_SOURCE_DIR) + "/server/seed/catalog.sql"};
    vnservice::UpdateService service(options);
    const int port = service.Bind();
    std::thread runner([&service] { service.Run(); });
    for (int i = 0; i < 5000 && !service.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    // A service that takes the first call and then drops it unanswered.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    PointAt(ntohs(address.sin_port));

    Views::CSearchData search;
    ASSERT_EQ(search.StartSearch("mozilla", kWindow, false), 1);
    const int held = accept(listener, nullptr, nullptr);
    ASSERT_GE(held, 0);
    PointAt(port);
    EXPECT_EQ(search.StartSearch("zip", kWindow, false), 0);
    close(listener);  // first, so that the client's second try is refused
    close(held);
    search.WaitThread();

    const auto codes = [&posted] {
        std::lock_guard<std::mutex> lock(posted.recorded().mutex);
        std::vector<uintptr_t> out;
        for (const auto& m : posted.recorded().others)
            if (m.message == platform::RegisterMessage(wmname::kSearchEnd)) out.push_back(m.wParam);
        return out;
    };
    ASSERT_EQ(codes(), std::vector<uintptr_t>{3});
    EXPECT_TRUE(search.OnSearchEnd(3));
    search.WaitThread();
    EXPECT_EQ(codes().back(), 0u);
    EXPECT_EQ(search.GetCurrentKeywords(), "zip");
    EXPECT_EQ(search.GetCount(), 1u);
    EXPECT_FALSE(search.OnSearchEnd(0)) << "nothing waits any more";

    // A search that failed can be tried again with the same words.
    const int closed = socket(AF_INET, SOCK_STREAM, 0);
    address.sin_port = 0;
    ASSERT_EQ(bind(closed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(closed, reinterpret_cast<sockaddr*>(&address), &size), 0);
    close(closed);
    PointAt(ntohs(address.sin_port));
    ASSERT_EQ(search.StartSearch("ZIP", kWindow, false), 1);
    search.WaitThread();
    EXPECT_EQ(codes().back(), 3u);
    PointAt(port);
    ASSERT_EQ(search.StartSearch("ZIP", kWindow, false), 1);
    search.WaitThread();
    EXPECT_EQ(codes().back(), 0u);
    EXPECT_EQ(search.GetCount(), 1u);

    service.Stop();
    runner.join();
}

}  // namespace
