// The today's-updates refresh: which fetches replace the list and its file.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/posted_texts.h"
#include "common/temp_folder.h"
#include "inventory/daily_item.h"
#include "views/daily_updates.h"

namespace {

const auto kWindow = reinterpret_cast<platform::WindowHandle>(0x55);
constexpr uint32_t kDone = 0xC123;

std::string Feed(const std::string& days) { return "<?xml version=\"1.0\"?><recent>" + days + "</recent>"; }

std::string Update(const std::string& id, const std::string& name) {
    return "<update><productID>" + id + "</productID><name>" + name + "</name></update>";
}

std::vector<std::string> Names(const VN_ListBase& list) {
    std::vector<std::string> names;
    for (size_t i = 0; i < list.GetCount(); ++i) names.push_back(list.GetItemAt<VN_DailyItem>(i)->GetProductId());
    return names;
}

TEST(DailyUpdatesRefresh, OnlyAFeedReadToItsEndReplacesTheListAndItsFile) {
    testing_support::TempFolder folder("daily-refresh");
    testing_transport::PostedTexts posted;
    const std::string path = folder.Path("dailyupdates.db");
    VN_ListBase list(path);
    Views::CDailyUpdates refresh(list);
    std::string body;
    refresh.fetch = [&body](const std::string& url, std::string& out) {
        if (url != "http://feed/varnel/recent.php") return false;
        out = body;
        return true;
    };
    uintptr_t refreshes = 0;  // refreshes are numbered from 1
    const auto run = [&] {
        refresh.Start("http://feed/varnel/recent.php", kWindow, kDone);
        return refresh.Finish(++refreshes);
    };

    body = Feed("<day>" + Update("1", "One") + Update("2", "Two") + "</day>");
    ASSERT_TRUE(run());
    EXPECT_EQ(Names(list), (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(refresh.Running());
    ASSERT_EQ(posted.recorded().others.size(), 1u);
    EXPECT_EQ(posted.recorded().others[0].window, kWindow);
    EXPECT_EQ(posted.recorded().others[0].message, kDone);

    // Cut short, malformed, or not fetched at all: the list and the file stay.
    for (const std::string& broken :
         {body.substr(0, body.size() - 20), std::string("<recent><day>"), std::string("not xml"), std::string()}) {
        body = broken;
        EXPECT_FALSE(run()) << broken;
        EXPECT_EQ(Names(list), (std::vector<std::string>{"1", "2"})) << broken;
    }
    refresh.fetch = [](const std::string&, std::string&) { return false; };
    EXPECT_FALSE(run());
    VN_ListBase stored(path);
    ASSERT_TRUE(stored.Load());
    EXPECT_EQ(Names(stored), (std::vector<std::string>{"1", "2"}));

    // A whole feed with no releases is the truth: the list empties.
    refresh.fetch = [](const std::string&, std::string& out) {
        out = Feed("");
        return true;
    };
    EXPECT_TRUE(run());
    EXPECT_TRUE(list.IsEmpty());
}

TEST(DailyUpdatesRefresh, ARefreshOvertakenByANewerOneIsDropped) {
    testing_transport::PostedTexts posted;
    VN_ListBase list;
    Views::CDailyUpdates refresh(list);
    std::atomic<bool> release{false};
    refresh.fetch = [&release](const std::string& url, std::string& out) {
        if (url == "old")
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        out = Feed("<day>" + Update(url, url) + "</day>");
        return true;
    };
    refresh.Start("old", kWindow, kDone);
    refresh.Start("new", kWindow, kDone);
    EXPECT_TRUE(refresh.Finish(2));
    EXPECT_TRUE(refresh.Running());
    release = true;
    EXPECT_FALSE(refresh.Finish(1));
    EXPECT_EQ(Names(list), std::vector<std::string>{"new"});
    EXPECT_FALSE(refresh.Running());
    EXPECT_FALSE(refresh.Finish(7));
}

}  // namespace
