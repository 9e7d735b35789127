// The watch list's add-or-merge on realistic scans: programs seen through
// several sources in one pass, the user's removals and manual adds, version
// texts, the merge steps, and the list's clearing, loading and saving.
#include <gtest/gtest.h>

#include "common/scoped_hook.h"
#include "inventory/watch_list.h"
#include "inventory_test_support.h"
#include "platform/message_names.h"
#include "watch_list_test_support.h"

using testsupport::LogCapture;
using testsupport::TempDir;

namespace {

platform::WindowHandle const kWindow = reinterpret_cast<platform::WindowHandle>(0x5150);
const char kNotepad[] = "C:\\Program Files\\Notepad++\\notepad++.exe";
const char kSevenZipCode[] = "{23170F69-40C1-2702-2301-000001000000}";

class WatchListMerge : public ::testing::Test {
protected:
    void SetUp() override {
        notices_ = wltest::NoticeRecorder::Install(notifier_);
        message_ = platform::RegisterMessage(wmname::kUpdateItem);
        list_.SetNotifyTarget(kWindow, message_);
        list_.IncrementScanCount();
    }

    VN_WatchItem* Only() {
        EXPECT_EQ(list_.GetCount(), 1u);
        return list_.GetWatchItemAt(0);
    }

    testing_support::ScopedHook<platform::InstallNotifier> notifier_{nullptr};
    testing_support::ScopedHook<inventory::InstallInstallerQuery> installerQuery_{nullptr};
    TempDir dir_;
    VN_WatchList list_{dir_.Path()};
    wltest::NoticeRecorder* notices_ = nullptr;
    uint32_t message_ = 0;
};

TEST_F(WatchListMerge, SameProgramSeenTwiceInOnePassIsAddedOnce) {
    auto startMenu = wltest::Program("Notepad++", kNotepad, "8.6.4");
    startMenu->shortcutName = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Notepad++.lnk";
    auto desktop = wltest::Copy(*startMenu);
    desktop->shortcutName = "C:\\Users\\ann\\Desktop\\Notepad++.lnk";
    auto running = wltest::Program("Notepad++", "c:\\program files\\notepad++\\NOTEPAD++.EXE", "8.6.4");

    EXPECT_TRUE(list_.AddOrMerge(*startMenu, false, false));
    EXPECT_TRUE(list_.AddOrMerge(*desktop, false, false));
    EXPECT_TRUE(list_.AddOrMerge(*running, false, false));

    VN_WatchItem* entry = Only();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->shortcutName, startMenu->shortcutName) << "a later sighting only fills what is missing";
    EXPECT_TRUE(entry->expanded) << "a program without installer codes is added expanded";
    EXPECT_EQ(entry->scanStamp, 1);
    ASSERT_EQ(notices_->notices.size(), 1u);
    EXPECT_EQ(notices_->notices[0].window, kWindow);
    EXPECT_EQ(notices_->notices[0].message, message_);
    EXPECT_EQ(notices_->notices[0].item, reinterpret_cast<uintptr_t>(entry));
    EXPECT_EQ(notices_->notices[0].flag, 0);

    // The next pass finds it again and keeps it; a program it does not find goes.
    list_.AddOrMerge(*wltest::Program("Paint.NET", "C:\\Program Files\\paint.net\\paintdotnet.exe", "5.0"), false,
                     false);
    list_.IncrementScanCount();
    list_.AddOrMerge(*running, false, false);
    list_.RemoveStaleItems();
    EXPECT_EQ(Only(), entry);
    EXPECT_EQ(entry->scanStamp, 2);
}

TEST_F(WatchListMerge, RemovedStaysRemovedUntilTheUserAddsItAgain) {
    const auto scanned = wltest::Program("Notepad++", kNotepad, "8.6.4");
    list_.AddOrMerge(*scanned, false, false);
    VN_WatchItem* entry = Only();
    entry->removed = item_state::kRemovedByUser;
    notices_->notices.clear();

    list_.IncrementScanCount();
    list_.AddOrMerge(*scanned, false, false);
    EXPECT_EQ(Only(), entry);
    EXPECT_EQ(entry->removed, item_state::kRemovedByUser);
    EXPECT_TRUE(notices_->notices.empty());

    auto byHand = wltest::Copy(*scanned);
    byHand->userAdded = true;
    EXPECT_TRUE(list_.AddUserItem(*byHand));
    EXPECT_EQ(Only(), entry);
    EXPECT_EQ(entry->removed, item_state::kPresent);
    EXPECT_TRUE(entry->userAdded);
    ASSERT_EQ(notices_->notices.size(), 1u);
    EXPECT_EQ(notices_->notices[0].item, reinterpret_cast<uintptr_t>(entry));
    EXPECT_EQ(notices_->notices[0].flag, 1);

    // The manual add saved the list.
    VN_WatchList reloaded(dir_.Path());
    EXPECT_TRUE(reloaded.Load());
    ASSERT_EQ(reloaded.GetCount(), 1u);
    EXPECT_EQ(reloaded.GetWatchItemAt(0)->removed, item_state::kPresent);
    EXPECT_TRUE(reloaded.GetWatchItemAt(0)->userAdded);

    // A program that is gone is not brought back by hand.
    entry->removed = item_state::kGone;
    list_.AddUserItem(*byHand);
    EXPECT_EQ(entry->removed, item_state::kGone);
}

TEST_F(WatchListMerge, InstalledVersionsMoveForwardComparedAsText) {
    auto old = wltest::Program("VLC media player", "C:\\Program Files\\VideoLAN\\VLC\\vlc.exe", "9.1");
    old->installedVers2 = "9.1.0.0";
    old->installedVers3 = "9.1.0";
    list_.AddOrMerge(*old, false, false);
    VN_WatchItem* entry = Only();

    // As text, "10.0.0.0" sorts before "9.1.0.0": not newer.
    auto ten = wltest::Program("VLC media player", old->targetName, "10.0");
    ten->installedVers2 = "10.0.0.0";
    ten->installedVers3 = "10.0.0";
    list_.AddOrMerge(*ten, false, false);
    EXPECT_EQ(entry->installedVers, "9.1");
    EXPECT_EQ(entry->installedVers2, "9.1.0.0");

    // A greater third text alone is enough.
    auto patched = wltest::Copy(*old);
    patched->installedVers = "9.1 (patched)";
    patched->installedVers3 = "9.1.1";
    list_.AddOrMerge(*patched, false, false);
    EXPECT_EQ(entry->installedVers, "9.1 (patched)");
    EXPECT_EQ(entry->installedVers2, "9.1.0.0");
    EXPECT_EQ(entry->installedVers3, "9.1.1");

    // Without an installed version nothing moves.
    auto unnamed = wltest::Copy(*old);
    unnamed->installedVers.clear();
    unnamed->installedVers2 = "9.9";
    list_.AddOrMerge(*unnamed, false, false);
    EXPECT_EQ(entry->installedVers2, "9.1.0.0");
    EXPECT_EQ(list_.GetCount(), 1u);
}

TEST_F(WatchListMerge, ASuiteVersionComesFromTheInstaller) {
    auto installer = std::make_unique<wltest::FakeInstaller>();
    installer->answers[{kSevenZipCode, "VersionString"}] = "23.01.00.0";
    installerQuery_.Replace(std::move(installer));
    list_.AddOrMerge(*wltest::Suite(kSevenZipCode), false, false);
    VN_WatchItem* suite = Only();
    EXPECT_FALSE(suite->expanded) << "an installer product starts collapsed";

    auto again = wltest::Suite(kSevenZipCode);
    again->installedVers = "ignored for a suite";
    again->installedVers2 = "23.01";
    list_.AddOrMerge(*again, false, false);
    EXPECT_EQ(suite->installedVers, "23.01.00.0");
    EXPECT_EQ(suite->installedVers2, "23.01");
}

TEST_F(WatchListMerge, MergeStepsOnRealisticSightings) {
    // An uninstall entry found again as its installer suite takes the product
    // code and keeps its name; the bare suite has none to give.
    list_.AddOrMerge(*wltest::UninstallEntry("7-Zip 23.01 (x64 edition)", kSevenZipCode,
                                            "MsiExec.exe /I{23170F69-40C1-2702-2301-000001000000}"),
                     false, false);
    VN_WatchItem* sevenZip = Only();
    list_.AddOrMerge(*wltest::Suite("{23170f69-40c1-2702-2301-000001000000}"), false, false);
    EXPECT_EQ(list_.GetCount(), 1u);
    EXPECT_EQ(sevenZip->productGuid, "{23170f69-40c1-2702-2301-000001000000}");
    EXPECT_EQ(sevenZip->progName, "7-Zip 23.01 (x64 edition)");

    // A shortcut with arguments does not rename the program; one without does.
    const std::string firefoxPath = "C:\\Program Files\\Mozilla Firefox\\firefox.exe";
    list_.AddOrMerge(*wltest::Program("Firefox", firefoxPath, "125.0.2"), false, false);
    VN_WatchItem* firefox = list_.GetWatchItemAt(1);
    auto privateWindow = wltest::Program("Firefox Private Browsing", firefoxPath, "125.0.2");
    privateWindow->arguments = "-private-window";
    list_.AddOrMerge(*privateWindow, false, false);
    EXPECT_EQ(firefox->progName, "Firefox");
    list_.AddOrMerge(*wltest::Program("Mozilla Firefox", firefoxPath, "125.0.2"), false, false);
    EXPECT_EQ(firefox->progName, "Mozilla Firefox");

    // The registry-component flag is the latest sighting's; so is the source.
    auto registrySighting = wltest::Program("Mozilla Firefox", firefoxPath, "125.0.2");
    registrySighting->source = "registry";
    list_.AddOrMerge(*registrySighting, false, true);
    EXPECT_TRUE(firefox->comFromReg);
    EXPECT_EQ(firefox->source, "registry");
    list_.AddOrMerge(*wltest::Program("Mozilla Firefox", firefoxPath, "125.0.2"), false, false);
    EXPECT_FALSE(firefox->comFromReg);
    EXPECT_EQ(firefox->source, "exe");

    // A component sighting with other installer codes replaces both codes.
    const std::string word = "C:\\Program Files\\Microsoft Office\\Office16\\WINWORD.EXE";
    list_.AddOrMerge(*wltest::Component("{90160000-0011-0000-0000-0000000FF1CE}",
                                       "{019C826E-445A-4649-A5B0-0BF08FCC4EEE}", "Microsoft Word", word),
                     false, false);
    VN_WatchItem* winword = list_.GetWatchItemAt(2);
    list_.AddOrMerge(*wltest::Component("{90160000-0011-0000-0000-0000000FF1CE}",
                                       "{A7AB73A3-CB10-4AA5-9D38-6AEFFBDE4C91}", "Microsoft Word", word),
                     false, false);
    EXPECT_EQ(winword->componentGuid, "{A7AB73A3-CB10-4AA5-9D38-6AEFFBDE4C91}");
    list_.AddOrMerge(*wltest::Component("{90160000-0011-0000-0000-0000000ff1ce}",
                                       "{a7ab73a3-cb10-4aa5-9d38-6aeffbde4c91}", "Microsoft Word", word),
                     false, false);
    EXPECT_EQ(winword->componentGuid, "{A7AB73A3-CB10-4AA5-9D38-6AEFFBDE4C91}")
        << "codes that differ only in case are the same codes";
    EXPECT_EQ(list_.GetCount(), 3u);
    EXPECT_TRUE(list_.IsModified());
}

TEST_F(WatchListMerge, ClearingSavesTheEmptyListAtOnce) {
    list_.AddOrMerge(*wltest::Program("Notepad++", kNotepad, "8.6.4"), false, false);
    ASSERT_TRUE(list_.Save());
    list_.Clear();
    EXPECT_EQ(list_.GetCount(), 0u);
    EXPECT_TRUE(list_.IsModified());
    EXPECT_FALSE(list_.IsClearing());
    EXPECT_EQ(testsupport::ReadFile(dir_.File("varnel.db")), std::string(2, '\0'));
}

TEST_F(WatchListMerge, ADamagedDatabaseIsReplacedByAnEmptyOne) {
    LogCapture log;
    testsupport::WriteFile(dir_.File("varnel.db"), std::string("\x01\x00\xFF\xFF\x01\x00\x05\x00VN_Wa", 13));
    EXPECT_FALSE(list_.Load());
    EXPECT_EQ(list_.GetCount(), 0u);
    EXPECT_TRUE(list_.IsModified());
    EXPECT_EQ(testsupport::ReadFile(dir_.File("varnel.db")), std::string(2, '\0'));
    EXPECT_TRUE(log.Contains("*** Warning, exceptions from VN_ListBase::LoadFile"));
}

TEST_F(WatchListMerge, SaveIfModifiedWritesOnlyAfterAChange) {
    EXPECT_TRUE(list_.Load()) << "a missing file loads as an empty list";
    EXPECT_FALSE(list_.IsModified());
    EXPECT_TRUE(list_.SaveIfModified());
    EXPECT_TRUE(dir_.Names().empty());

    list_.AddOrMerge(*wltest::Program("Notepad++", kNotepad, "8.6.4"), false, false);
    EXPECT_TRUE(list_.SaveIfModified());
    VN_WatchList reloaded(dir_.Path());
    reloaded.Load();
    ASSERT_EQ(reloaded.GetCount(), 1u);
    EXPECT_EQ(reloaded.GetWatchItemAt(0)->targetName, kNotepad);

    // A list without a file cannot load and counts as modified.
    VN_WatchList memoryOnly;
    EXPECT_FALSE(memoryOnly.Load());
    EXPECT_TRUE(memoryOnly.IsModified());
}

TEST_F(WatchListMerge, NoNoticeWithoutATarget) {
    list_.SetNotifyTarget(nullptr, message_);
    list_.AddOrMerge(*wltest::Program("Notepad++", kNotepad, "8.6.4"), false, false);
    list_.SetNotifyTarget(kWindow, 0);
    list_.AddOrMerge(*wltest::Program("Paint.NET", "C:\\Program Files\\paint.net\\paintdotnet.exe", "5.0"), false,
                     false);
    EXPECT_TRUE(notices_->notices.empty());
    EXPECT_EQ(list_.GetCount(), 2u);
}

}  // namespace
