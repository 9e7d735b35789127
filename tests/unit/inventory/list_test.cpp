// The list family: loading and saving database files (with the atomic
// replacement), clearing, filling a list control, the stop event, the worker
// slot and stale-item removal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "inventory/database.h"
#include "inventory/list_base.h"
#include "inventory/ms_update_item.h"
#include "inventory_test_support.h"

using testsupport::LogCapture;
using testsupport::StoredFields;
using testsupport::TempDir;

namespace {

const char kLoadWarning[] = "*** Warning, exceptions from VN_ListBase::LoadFile";
const char kSaveWarning[] = "*** Warning, exceptions in VN_ListBase::SaveFile";

// An item the database files cannot carry.
class UnstorableItem : public VN_ItemGrandBase {};

class RecordingControl : public IListControl {
public:
    void LockUpdates() override { ++locks; }
    void UnlockUpdates() override { --locks; }
    int InsertRow(int row, const std::string& text, VN_ItemGrandBase* item) override {
        if (++inserts == refuseInsert) return -1;
        rows.push_back({row, text, item, ""});
        if (onInsert) onInsert();
        return row;
    }
    void SetCellText(int row, int column, const std::string& text) override {
        ASSERT_EQ(column, 1);
        rows.at(static_cast<size_t>(row)).second = text;
    }
    struct Row {
        int index;
        std::string first;
        VN_ItemGrandBase* item;
        std::string second;
    };
    std::vector<Row> rows;
    int locks = 0;
    int inserts = 0;
    int refuseInsert = 0;  // the call (counted from 1) answered with -1
    std::function<void()> onInsert;
};

}  // namespace

TEST(ListFiles, EveryClassRoundTripsThroughAFile) {
    TempDir dir;
    VN_ListBase list(dir.File("mixed.db"));
    list.AddTail(testsupport::FullWatchItem());
    list.AddTail(nullptr);
    list.AddTail(testsupport::FullDriverItem());
    list.AddTail(testsupport::FullDailyItem());
    list.AddTail(testsupport::FullHistoryItem());
    auto ms = std::make_unique<MsUpdates::CMsItem>();
    ms->removed = 2;
    list.AddTail(std::move(ms));
    // Memory-only state that must not survive.
    list.GetItemAt<VN_WatchItem>(0)->GetSequence();
    list.GetItemAt<VN_WatchItem>(0)->arguments = "/quiet";
    list.GetItemAt<VN_WatchItem>(0)->scanStamp = 9;
    list.GetItemAt<VN_DriverItem>(2)->driverFlag = false;
    ASSERT_TRUE(list.Save());

    VN_ListBase loaded(dir.File("mixed.db"));
    ASSERT_TRUE(loaded.Load());
    ASSERT_EQ(loaded.GetCount(), 6u);
    EXPECT_EQ(loaded.GetAt(1), nullptr);
    for (size_t i : {0u, 2u, 3u, 4u, 5u}) {
        ASSERT_NE(loaded.GetAt(i), nullptr) << i;
        EXPECT_EQ(std::string(loaded.GetAt(i)->RuntimeClassName()), list.GetAt(i)->RuntimeClassName());
        EXPECT_EQ(StoredFields(*loaded.GetAt(i)), StoredFields(*list.GetAt(i))) << i;
    }
    const VN_WatchItem* w = loaded.GetItemAt<VN_WatchItem>(0);
    EXPECT_EQ(w->sequence, 0);
    EXPECT_EQ(w->scanStamp, 0);
    EXPECT_EQ(w->arguments, "");
    EXPECT_TRUE(loaded.GetItemAt<VN_DriverItem>(2)->driverFlag);
    EXPECT_EQ(loaded.GetItemAt<VN_DailyItem>(3)->catalogItem->links.size(), 2u);
}

TEST(ListFiles, MissingFileIsASuccessfulNoOpAndLoadAppends) {
    TempDir dir;
    VN_ListBase list;
    EXPECT_FALSE(list.Load());  // no database path
    EXPECT_FALSE(list.Save());
    list.AddTail(testsupport::FullHistoryItem());
    EXPECT_TRUE(list.LoadFile(dir.File("absent.db")));
    EXPECT_EQ(list.GetCount(), 1u);

    VN_ListBase other;
    other.AddTail(std::make_unique<MsUpdates::CMsItem>());
    other.SaveFile(dir.File("one.db"));
    EXPECT_TRUE(list.LoadFile(dir.File("one.db")));
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_NE(dynamic_cast<MsUpdates::CMsItem*>(list.GetAt(1)), nullptr);
}

TEST(ListFiles, DamagedOrForeignFileClearsTheListAndLogs) {
    TempDir dir;
    LogCapture log;
    VN_ListBase source;
    source.AddTail(testsupport::FullWatchItem());
    source.AddTail(testsupport::FullWatchItem("2"));
    source.SaveFile(dir.File("full.db"));
    const std::string image = testsupport::ReadFile(dir.File("full.db"));
    testsupport::WriteFile(dir.File("cut.db"), image.substr(0, image.size() - 3));
    std::string schema2 = image;
    schema2[4] = 2;  // the schema WORD of the class record
    testsupport::WriteFile(dir.File("schema2.db"), schema2);
    testsupport::WriteFile(dir.File("unknown.db"), testsupport::Bytes().w(1).newClass("CWinAppItem").d(0).s);
    testsupport::WriteFile(dir.File("index.db"), testsupport::Bytes().w(2).newClass("CMsItem").d(0).w(0x8003).s);

    for (const char* name : {"cut.db", "schema2.db", "unknown.db", "index.db"}) {
        const std::string bytes = testsupport::ReadFile(dir.File(name));
        VN_ListBase list;
        list.AddTail(testsupport::FullHistoryItem());  // present before the load
        EXPECT_FALSE(list.LoadFile(dir.File(name))) << name;
        EXPECT_EQ(list.GetCount(), 0u) << name;
        // The next save replaces the file: its bytes are kept beside it.
        EXPECT_EQ(testsupport::ReadFile(dir.File(std::string(name) + ".damaged")), bytes) << name;
    }
    EXPECT_TRUE(log.Contains(kLoadWarning));

    // A file of download-history items is foreign to a list of updated items.
    VN_ListBase history;
    history.AddTail(testsupport::FullHistoryItem());
    history.SaveFile(dir.File("history.db"));
    VN_ListUpdatedBase drivers(dir.File("history.db"));
    EXPECT_FALSE(drivers.Load());
    EXPECT_TRUE(drivers.IsEmpty());
    VN_ListUpdatedBase watch(dir.File("full.db"));
    EXPECT_TRUE(watch.Load());
    EXPECT_EQ(watch.GetCount(), 2u);
}

TEST(ListFiles, BytesAfterTheLastObjectLoadWithAWarning) {
    TempDir dir;
    LogCapture log;
    VN_ListBase source;
    source.AddTail(testsupport::FullWatchItem());
    source.SaveFile(dir.File("full.db"));
    const std::string longer = dir.File("longer.db");
    testsupport::WriteFile(longer, testsupport::ReadFile(dir.File("full.db")) + "\x01\x02\x03");
    VN_ListBase list;
    EXPECT_TRUE(list.LoadFile(dir.File("full.db")));
    EXPECT_EQ(log.Text().find("bytes after the last object"), std::string::npos);
    EXPECT_TRUE(list.LoadFile(longer));
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_TRUE(
        log.Contains("*** Warning, 3 bytes after the last object of " + longer + " ignored in VN_ListBase::LoadFile"));
    EXPECT_FALSE(log.Contains(kLoadWarning));
}

TEST(ListFiles, LoadRemovesTheTemporariesOfKilledSaves) {
    TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = dir.File("varnel.db." + std::to_string(ended) + ".1.1.tmp");
    testsupport::WriteFile(stale, "part of a save");
    VN_ListBase list(dir.File("varnel.db"));
    EXPECT_TRUE(list.Load());  // the file itself is missing
    EXPECT_TRUE(dir.Names().empty());
}

TEST(ListFiles, AFileThatFailsToReadIsDamagedButAFolderIsMissing) {
    LogCapture log;
    // /proc/self/mem opens, but reading at offset 0 fails (nothing is mapped there).
    const std::string unreadable = "/proc/self/mem";
    VN_ListBase list;
    list.AddTail(testsupport::FullHistoryItem());
    EXPECT_FALSE(list.LoadFile(unreadable));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(log.Contains(kLoadWarning));
    std::vector<std::string> names = {"kept"};
    EXPECT_FALSE(inventory::LoadStringListFile(unreadable, names));
    EXPECT_TRUE(names.empty());

    // A folder does not open as a file: nothing changes, as for a missing file.
    TempDir dir;
    list.AddTail(testsupport::FullHistoryItem());
    EXPECT_TRUE(list.LoadFile(dir.Path()));
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(ListFiles, FailedSaveLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    LogCapture log;
    const std::string path = dir.File("varnel.db");
    VN_ListBase list(path);
    list.AddTail(testsupport::FullWatchItem());
    ASSERT_TRUE(list.Save());
    const std::string before = testsupport::ReadFile(path);

    // An item that cannot be stored fails the save half way through the list.
    list.AddTail(testsupport::FullWatchItem("2"));
    list.AddTail(std::make_unique<UnstorableItem>());
    EXPECT_TRUE(list.Save());  // the documented result
    EXPECT_EQ(testsupport::ReadFile(path), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"varnel.db"});
    EXPECT_TRUE(log.Contains(kSaveWarning));

    // A folder that does not exist: nothing is written, still true.
    EXPECT_TRUE(list.SaveFile(dir.File("missing/varnel.db")));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"varnel.db"});
}

TEST(ListControl, FillsPresentItemsInOrderAndStopsOnAbort) {
    VN_ListBase list;
    list.FillListControl();  // no control: nothing happens
    RecordingControl control;
    list.AttachListControl(&control);
    for (int removed : {0, 1, 0, 2, 0}) {
        auto item = testsupport::FullWatchItem();
        item->removed = removed;
        list.AddTail(std::move(item));
    }
    list.AddTail(nullptr);
    list.FillListControl();
    ASSERT_EQ(control.rows.size(), 3u);
    const size_t expectedEntry[] = {0, 2, 4};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(control.rows[i].index, static_cast<int>(i));
        EXPECT_EQ(control.rows[i].first, "vn");
        EXPECT_EQ(control.rows[i].second, "Testing");
        EXPECT_EQ(control.rows[i].item, list.GetAt(expectedEntry[i]));
    }
    EXPECT_EQ(control.locks, 0);

    // A row the control refuses leaves no gap: the next item takes its index.
    RecordingControl refusing;
    refusing.refuseInsert = 2;
    list.AttachListControl(&refusing);
    list.FillListControl();
    ASSERT_EQ(refusing.rows.size(), 2u);
    EXPECT_EQ(refusing.rows[1].index, 1);
    EXPECT_EQ(refusing.rows[1].item, list.GetAt(4));
    EXPECT_EQ(refusing.rows[1].second, "Testing");

    RecordingControl aborted;
    list.AttachListControl(&aborted);
    aborted.onInsert = [&] { list.SetAbort(true); };
    list.FillListControl();
    EXPECT_EQ(aborted.rows.size(), 1u);
    EXPECT_EQ(aborted.locks, 0);
}

TEST(ListSync, StopEventAndScanCounter) {
    VN_ListBase list;
    EXPECT_FALSE(list.IsStopRequested());
    EXPECT_FALSE(list.WaitForStop(std::chrono::milliseconds(1)));
    std::thread setter([&] { list.SetStop(); });
    EXPECT_TRUE(list.WaitForStop(std::chrono::seconds(30)));
    setter.join();
    EXPECT_TRUE(list.IsStopRequested());
    EXPECT_TRUE(list.ResetStop());
    EXPECT_FALSE(list.IsStopRequested());
    EXPECT_EQ(list.GetScanCount(), 0);
    EXPECT_EQ(list.IncrementScanCount(), 1);
}

TEST(ListSync, WorkerSlotHoldsOneThreadAndAbortsCooperatively) {
    VN_ListBase list;
    EXPECT_TRUE(list.StopThread());  // empty slot
    std::atomic<bool> started{false};
    std::atomic<int> loops{0};
    ASSERT_TRUE(list.BeginThread([&] {
        started = true;
        while (!list.IsAbortRequested()) {
            ++loops;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }));
    while (!started) std::this_thread::yield();
    EXPECT_TRUE(list.IsThreadRunning());
    EXPECT_FALSE(list.BeginThread([] {}));  // the slot is busy
    EXPECT_FALSE(list.StopThread());        // still running: asks it to abort
    EXPECT_TRUE(list.IsAbortRequested());
    list.WaitThread();
    EXPECT_FALSE(list.IsThreadRunning());
    EXPECT_TRUE(list.StopThread());
    EXPECT_FALSE(list.IsAbortRequested());

    // A worker asked to abort and then waited for: the next worker starts
    // without the old request, also when BeginThread empties the slot itself.
    ASSERT_TRUE(list.BeginThread([&] {
        while (!list.IsAbortRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));
    EXPECT_FALSE(list.StopThread());
    list.WaitThread();
    std::atomic<int> abortSeen{-1};
    ASSERT_TRUE(list.BeginThread([&] { abortSeen = list.IsAbortRequested(); }));
    list.WaitThread();
    EXPECT_EQ(abortSeen, 0);
    EXPECT_TRUE(list.StopThread());

    // An exception leaving the worker is logged and ends the thread.
    LogCapture log;
    ASSERT_TRUE(list.BeginThread([] { throw std::runtime_error("boom"); }));
    list.WaitThread();
    EXPECT_TRUE(list.StopThread());
    EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_ListBaseSync::ThreadProc"));
}

TEST(ListSync, DestructorLetsTheWorkerAskAboutItsOwnSlot) {
    // The worker wakes when the destructor signals the stop event and then
    // asks the slot about itself while the destructor waits for it.
    auto list = std::make_unique<VN_ListBaseSync>();
    VN_ListBaseSync* raw = list.get();
    std::atomic<bool> asked{false};
    ASSERT_TRUE(raw->BeginThread([raw, &asked] {
        while (!raw->WaitForStop(std::chrono::milliseconds(50))) {
        }
        EXPECT_TRUE(raw->IsThreadRunning());
        EXPECT_FALSE(raw->StopThread());
        asked = true;
    }));
    // Destroyed on a helper thread, so that a deadlock fails the test instead
    // of hanging it.
    auto destroyed = std::make_shared<std::promise<void>>();
    std::future<void> done = destroyed->get_future();
    std::thread destroyer([owned = std::move(list), destroyed]() mutable {
        owned.reset();
        destroyed->set_value();
    });
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the destructor and the worker wait for each other";
        destroyer.detach();
        return;
    }
    destroyer.join();
    EXPECT_TRUE(asked);
}

TEST(ListSync, RemoveStaleItemsKeepsItemsOfTheCurrentScan) {
    VN_ListBase list;
    list.IncrementScanCount();
    list.IncrementScanCount();
    for (int stamp : {2, 1, 2, 0}) {
        auto item = std::make_unique<MsUpdates::CMsItem>();
        item->scanStamp = stamp;
        item->removed = stamp;
        list.AddTail(std::move(item));
    }
    list.AddTail(nullptr);
    list.RemoveStaleItems();
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list.GetAt(0)->scanStamp, 2);
    EXPECT_EQ(list.GetAt(1)->scanStamp, 2);
    EXPECT_EQ(list.GetAt(2), nullptr);
}

TEST(ListSync, ReadersMayWalkWhileAWorkerAppends) {
    VN_ListBase list;
    ASSERT_TRUE(list.BeginThread([&] {
        for (int i = 0; i < 20000; ++i) list.AddTail(std::make_unique<MsUpdates::CMsItem>());
    }));
    size_t seen = 0;
    while (list.IsThreadRunning()) {
        for (VN_ItemGrandBase* item : list.Snapshot()) seen += item->removed == 0;
        const size_t n = list.GetCount();
        if (n) seen += list.GetAt(n - 1) != nullptr;
    }
    list.WaitThread();
    EXPECT_TRUE(list.StopThread());
    EXPECT_EQ(list.GetCount(), 20000u);
    EXPECT_GT(seen, 0u);
}

// The item lock: a thread that reads an item under it never sees the item
// deleted or changed under it by another thread; the holder's own thread
// passes through, so list functions that lock may run under a hold.
TEST(ItemLock, AReaderHoldsOffDeletionAndAWriterHoldsOffReadersWhileTheHolderPassesThrough) {
    VN_ListBase list;
    VN_ItemGrandBase* item = list.AddTail(std::make_unique<MsUpdates::CMsItem>());
    std::atomic<bool> deleted{false};
    std::future<void> deleting;
    {
        inventory::ContentLock::Read hold(list.ItemLock());
        deleting = std::async(std::launch::async, [&] {
            list.DeleteWhere([](const VN_ItemGrandBase&) { return true; });
            deleted = true;
        });
        // Given time to delete, the other thread must still wait: the item
        // stays readable for as long as the hold lasts.
        EXPECT_EQ(deleting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
        EXPECT_FALSE(deleted);
        EXPECT_EQ(item->removed, 0) << "not freed: the address sanitizer would say so";
        inventory::ContentLock::Read again(list.ItemLock());  // a second hold on this thread passes through
    }
    deleting.get();
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(list.IsEmpty());

    list.AddTail(std::make_unique<MsUpdates::CMsItem>());
    std::future<void> reading;
    {
        inventory::ContentLock::Write hold(list.ItemLock());
        list.DeleteAll();  // locks itself: passes through the caller's hold
        inventory::ContentLock::Read read(list.ItemLock());
        reading = std::async(std::launch::async, [&] { inventory::ContentLock::Read other(list.ItemLock()); });
        EXPECT_EQ(reading.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    }
    reading.get();

    // A long reader can see a writer waiting and let it in.
    std::future<void> writing;
    {
        inventory::ContentLock::Read hold(list.ItemLock());
        EXPECT_FALSE(list.ItemLock().WriterWaiting());
        writing = std::async(std::launch::async, [&] { inventory::ContentLock::Write other(list.ItemLock()); });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!list.ItemLock().WriterWaiting() && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        EXPECT_TRUE(list.ItemLock().WriterWaiting());
    }
    writing.get();
    EXPECT_FALSE(list.ItemLock().WriterWaiting());

    // Asked for writing under its own read hold, a thread passes through
    // (and says so) rather than wait for itself.
    LogCapture log;
    {
        inventory::ContentLock::Read read(list.ItemLock());
        inventory::ContentLock::Write write(list.ItemLock());
    }
    EXPECT_NE(log.Text().find("an item lock held for reading was asked for writing"), std::string::npos);
}

TEST(ListThread, AWaitWithALimitSaysWhetherTheWorkerEndedInTime) {
    VN_ListBase list;
    EXPECT_TRUE(list.WaitThreadFor(std::chrono::milliseconds(0))) << "no worker";
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(list.BeginThread([released] { released.wait(); }));
    EXPECT_FALSE(list.WaitThreadFor(std::chrono::milliseconds(50)));
    release.set_value();
    EXPECT_TRUE(list.WaitThreadFor(std::chrono::seconds(10)));
}
