// The download manager's decisions: the queue and the end of a transfer,
// the stop rules, the buttons, and what the details show.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <thread>
#include <vector>

#include "common/temp_folder.h"
#include "dlmgr/download_display.h"
#include "dlmgr/download_list.h"
#include "dlmgr/zone_identifier.h"

namespace dlmgr {
namespace {

// A list whose transfers end at once, each with the next of the states the
// test chose (then "Successful").
struct ListWithTransfers {
    CDownloadListData list;
    std::vector<std::string> ran;
    std::deque<int32_t> states;
    ListWithTransfers() {
        list.transfer = [this](CDownloadItem& item) {
            ran.push_back(item.Name);
            int32_t state = kStateSuccessful;
            if (!states.empty()) {
                state = states.front();
                states.pop_front();
            }
            item.outcome.state = item.Abort ? kStateStopped : state;
        };
    }
};

TEST(DownloadQueue, OneTransferAtATimeAndFailuresRetryUntilDownloadRetriesAreUsed) {
    ListWithTransfers t;
    t.states = {kStateFailed, kStateFailed, kStateFailed, kStateFailed, kStateFailed};
    CDownloadItem& a = t.list.Add("A", "http://h/a.exe", 100);
    CDownloadItem& b = t.list.Add("B", "http://h/b.exe", 100);
    EXPECT_EQ(a.State, kStateActive);
    EXPECT_EQ(b.State, kStateQueued);
    EXPECT_TRUE(t.list.AnyActiveOrQueued());
    // A program update while a transfer runs is dropped.
    t.list.WaitThread();
    EXPECT_EQ(t.list.AddProgramUpdate("U", "http://h/u.msi", 100), nullptr);

    // A fails with two retries allowed: queued again behind B, which starts.
    EXPECT_EQ(t.list.OnTransferEnd(a, 2, 110), &b);
    EXPECT_EQ(a.State, kStateQueued);
    EXPECT_EQ(a.Retries, 1);
    EXPECT_EQ(b.Started, 110);
    // B fails too; A runs again and fails a second time: out of retries.
    EXPECT_EQ(t.list.OnTransferEnd(b, 2, 120), &a);
    EXPECT_EQ(t.list.OnTransferEnd(a, 2, 130), &b);
    EXPECT_EQ(t.list.OnTransferEnd(b, 2, 140), nullptr);
    EXPECT_EQ(a.State, kStateCanceled);
    EXPECT_EQ(b.State, kStateCanceled);
    EXPECT_EQ(t.ran, (std::vector<std::string>{"A", "B", "A", "B"}));
    EXPECT_FALSE(t.list.AnyActiveOrQueued());

    // Restart clears the failures; with one retry a failing download runs once.
    t.list.Restart(a, 150);
    EXPECT_EQ(a.State, kStateActive);
    EXPECT_EQ(a.Retries, 0);
    EXPECT_EQ(t.list.OnTransferEnd(a, 1, 160), nullptr);
    EXPECT_EQ(a.State, kStateCanceled);
    EXPECT_EQ(a.Retries, 1);
}

TEST(DownloadQueue, StoppingAQueuedItemCancelsItAndStopAllLeavesNothingToStartLater) {
    ListWithTransfers t;
    CDownloadItem& a = t.list.Add("A", "http://h/a", 0);
    CDownloadItem& b = t.list.Add("B", "http://h/b", 0);
    CDownloadItem& c = t.list.Add("C", "http://h/c", 0);
    t.list.Stop(b);
    EXPECT_EQ(b.State, kStateCanceled);
    EXPECT_FALSE(t.list.IsQueued(b));
    t.list.StopAll();
    EXPECT_EQ(c.State, kStateCanceled);
    EXPECT_EQ(t.list.OnTransferEnd(a, 1, 0), nullptr);
    EXPECT_EQ(t.ran, std::vector<std::string>{"A"});
}

TEST(DownloadQueue, CloseMovesFinishedItemsToTheHistoryFile) {
    RegisterItemClasses();
    testing_support::TempFolder folder;
    ListWithTransfers t;
    CDownloadItem& a = t.list.Add("A", "http://h/a.exe", 5);
    t.list.Add("B", "http://h/b.exe", 5);
    a.outcome.destination = "C:\\dl\\a.exe";
    t.list.OnTransferEnd(a, 1, 6);  // B is active now
    CDownloadHistory history(folder.str());
    ASSERT_TRUE(MoveToHistory(history, t.list.TakeFinished()));
    ASSERT_EQ(t.list.Items().size(), 1u);
    EXPECT_EQ(t.list.Items()[0]->Name, "B");
    t.list.WaitThread();

    CDownloadHistory reread(folder.str());
    ASSERT_TRUE(reread.Load());
    ASSERT_EQ(reread.GetCount(), 1u);
    const auto* stored = reread.GetItemAt<CHistoryItem>(0);
    EXPECT_EQ(stored->Name, "A");
    EXPECT_EQ(stored->State, kStateSuccessful);
    EXPECT_EQ(stored->Destination, "C:\\dl\\a.exe");
}

TEST(DownloadQueue, AtExitTheEndedTransferIsKeptAsItEndedWithoutRetryOrNextStart) {
    CDownloadListData list;
    std::atomic<bool> release{false};
    int runs = 0;
    list.transfer = [&](CDownloadItem& item) {
        ++runs;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        item.outcome.state = kStateFailed;
    };
    CDownloadItem& a = list.Add("A", "http://h/a.exe", 0);
    CDownloadItem& b = list.Add("B", "http://h/b.exe", 0);
    list.StopAll();
    EXPECT_FALSE(list.EndForExit()) << "the thread still runs";
    EXPECT_EQ(a.State, kStateActive);
    release = true;
    list.WaitThread();
    ASSERT_TRUE(list.EndForExit());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(a.State, kStateFailed);
    EXPECT_EQ(a.Retries, 1);
    EXPECT_EQ(b.State, kStateCanceled);
    EXPECT_EQ(list.Current(), nullptr);
    EXPECT_FALSE(list.AnyActiveOrQueued());
    EXPECT_EQ(list.TakeFinished().size(), 2u);
    EXPECT_TRUE(list.Items().empty());
}

TEST(DownloadDisplay, RateAndTimeRemainingAreShownOnlyWhileActiveWithAKnownTotal) {
    EXPECT_EQ(TransferRate(5000, 100, 100), 5000u);  // no whole second yet
    EXPECT_EQ(TransferRate(5000, 100, 110), 500u);
    EXPECT_FALSE(SecondsRemaining(100, 0, 0));
    EXPECT_EQ(*SecondsRemaining(1000, 500, 100), 5u);
    EXPECT_EQ(*SecondsRemaining(10, 20, 1), 0u);
    // More than a day: all the hours left, not the hours of the day.
    EXPECT_EQ(FormatTimeRemaining(26 * 3600 + 5 * 60 + 7), "26 hour 05 minute 07 second");

    CDownloadItem item;
    item.Name = "Big";
    item.Started = 1000;
    item.Received = 6ull << 30;  // past 4 GB
    item.Total = 8ull << 30;
    item.SetLiveCacheFile(std::string(90, 'x') + "\\setup.exe");
    DetailTexts d = DetailsOf(item, 1002);
    EXPECT_EQ(d.percent, 75);
    EXPECT_EQ(d.rate, ByteSizeText(3ull << 30) + "/sec");
    EXPECT_EQ(d.timeRemaining, "0 hour 00 minute 00 second");
    EXPECT_EQ(d.fileTo.size(), 83u);
    EXPECT_EQ(d.fileTo.substr(0, 3), "...");
    EXPECT_EQ(d.statistics, "Active,  " + ByteSizeText(6ull << 30) + " of " + ByteSizeText(8ull << 30));
    item.State = kStateFailed;
    d = DetailsOf(item, 1002);
    EXPECT_EQ(d.rate, "");
    EXPECT_EQ(d.timeRemaining, "");
    EXPECT_EQ(PercentComplete(0, 0), 0);
    EXPECT_EQ(PercentComplete(10, 5), 100);
}

TEST(DownloadDisplay, ButtonsFollowTheSelectedItemsState) {
    auto of = [](int32_t state) {
        CHistoryItem h;
        h.State = state;
        const ButtonStates b = ButtonsFor(&h);
        return std::string() + (b.restart ? "R" : "-") + (b.stop ? "S" : "-") + (b.launch ? "L" : "-") +
               (b.showLocation ? "W" : "-");
    };
    EXPECT_EQ(of(kStateActive), "-S--");
    EXPECT_EQ(of(kStateQueued), "-S--");
    for (int32_t s : {kStateCanceled, kStateFailed, kStateStopped, kStateCopyFailed}) EXPECT_EQ(of(s), "R---") << s;
    EXPECT_EQ(of(kStateSuccessful), "R-LW");
    EXPECT_EQ(of(kStateCompleted), "R-LW");
    EXPECT_EQ(of(42), "----");
    const ButtonStates none = ButtonsFor(nullptr);
    EXPECT_FALSE(none.restart || none.stop || none.launch || none.showLocation);
}

}  // namespace
}  // namespace dlmgr

namespace dlmgr {
namespace {

TEST(DownloadFileName, TakesTheCacheFilesNameWithoutUnsafeCharactersOrCacheMarks) {
    EXPECT_EQ(DownloadFileName("C:\\cache\\Content.IE5\\AB12\\setup[1].exe"), "setup.exe");
    EXPECT_EQ(DownloadFileName("C:\\cache\\big[0]..bin"), "big.bin");
    EXPECT_EQ(DownloadFileName("C:\\cache\\redir[2]"), "redir");
    EXPECT_EQ(DownloadFileName("C:/c/a<b>c|d\"e?.msi"), "abcde.msi");
    EXPECT_EQ(DownloadFileName("C:\\c\\v[beta].exe"), "v[beta].exe");
    EXPECT_EQ(DownloadFileName("C:\\c\\"), "");
    EXPECT_EQ(DownloadFileName("C:\\cache\\nul[1].exe"), "") << "a device, not a file";
    EXPECT_EQ(DownloadFileName("C:\\cache\\Com3.zip"), "");
}

TEST(ZoneIdentifier, NamesTheInternetZoneAndTheAddressOnOneLineOfItsOwn) {
    EXPECT_EQ(ZoneIdentifierText("http://h/a.exe"), "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=http://h/a.exe\r\n");
    EXPECT_EQ(ZoneIdentifierText("http://h/a.exe\r\nZoneId=0\t"),
              "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=http://h/a.exeZoneId=0\r\n");
    EXPECT_EQ(ZoneIdentifierText(""), "[ZoneTransfer]\r\nZoneId=3\r\n");
}

}  // namespace
}  // namespace dlmgr
