// The watch list's passes after a check and around a scan: group state, group
// removal and uninstall marking, the catalogue-match merge, combining suites
// and uninstall entries with their programs, the presence check, the resets,
// the available-updates list, the scan time and the debug listing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "common/scoped_hook.h"
#include "inventory/scan_time.h"
#include "inventory/watch_list.h"
#include "inventory_test_support.h"
#include "watch_list_test_support.h"

using testsupport::TempDir;
using wltest::Item;

namespace {

const char kOffice[] = "{90160000-0011-0000-0000-0000000FF1CE}";

class WatchListPasses : public ::testing::Test {
protected:
    VN_WatchItem* Add(Item item) { return static_cast<VN_WatchItem*>(list_.AddTail(std::move(item))); }

    testing_support::ScopedHook<inventory::InstallInstallerQuery> installerQuery_{nullptr};
    VN_WatchList list_;
};

// ------------------------------------------------------------- group state

TEST_F(WatchListPasses, GroupStateIsTheWholeSuitesState) {
    VN_WatchItem* suite = Add(wltest::Suite(kOffice));
    VN_WatchItem* word = Add(wltest::Component(kOffice, "{C-WORD}", "Word", "C:\\Office\\WINWORD.EXE"));
    word->SetCurrentVers("16.0.17531");
    word->outdated = true;
    VN_WatchItem* excel = Add(wltest::Component("{90160000-0011-0000-0000-0000000ff1ce}", "{C-EXCEL}", "Excel",
                                                "C:\\Office\\EXCEL.EXE"));
    excel->SetCurrentVers("16.0.17531");
    excel->skipped = true;
    VN_WatchItem* notepad = Add(wltest::Program("Notepad++", "C:\\Npp\\notepad++.exe", "8.6"));
    notepad->SetCurrentVers("8.6.5");
    notepad->outdated = true;
    VN_WatchItem* lone = Add(wltest::Suite("{LONE}"));
    lone->groupOutdated = lone->groupHasCurrent = true;  // stale state from an earlier check
    lone->groupCurrentCount = 4;

    list_.SyncGroupVars();
    for (VN_WatchItem* member : {suite, word, excel}) {
        EXPECT_TRUE(member->groupOutdated);
        EXPECT_TRUE(member->groupSkipped);
        EXPECT_TRUE(member->groupHasCurrent);
        EXPECT_EQ(member->groupCurrentCount, 2);
    }
    EXPECT_TRUE(notepad->groupOutdated);
    EXPECT_FALSE(notepad->groupSkipped);
    EXPECT_EQ(notepad->groupCurrentCount, 1);
    EXPECT_FALSE(lone->groupOutdated);
    EXPECT_FALSE(lone->groupHasCurrent);
    EXPECT_EQ(lone->groupCurrentCount, 0);
    EXPECT_TRUE(list_.IsModified());

    // A suite with more than one current member opens, with its group.
    list_.ExpandSuites();
    EXPECT_TRUE(suite->expanded);
    EXPECT_TRUE(word->expanded);
    EXPECT_TRUE(excel->expanded);
    EXPECT_FALSE(lone->expanded);
    EXPECT_TRUE(suite->IsTracked(false));
    EXPECT_TRUE(word->IsTracked(false));
}

TEST_F(WatchListPasses, WholeGroupsAreRemovedRestoredExpandedAndMarkedGone) {
    VN_WatchItem* suite = Add(wltest::Suite(kOffice));
    VN_WatchItem* word = Add(wltest::Component(kOffice, "{C-WORD}", "Word", "C:\\Office\\WINWORD.EXE"));
    VN_WatchItem* other = Add(wltest::Program("Notepad++", "C:\\Npp\\notepad++.exe", "8.6"));

    EXPECT_FALSE(list_.SetGroupVar("", 1, true));
    EXPECT_TRUE(list_.SetGroupVar("{90160000-0011-0000-0000-0000000ff1ce}", 7, true));
    EXPECT_EQ(suite->removed, item_state::kRemovedByUser);
    EXPECT_EQ(word->removed, item_state::kRemovedByUser);
    EXPECT_EQ(other->removed, item_state::kPresent);
    list_.SetGroupVar(kOffice, 0, true);
    EXPECT_EQ(word->removed, item_state::kPresent);

    list_.SetGroupVar(kOffice, 1, false);
    EXPECT_TRUE(suite->expanded);
    EXPECT_TRUE(word->expanded);
    EXPECT_FALSE(other->expanded);

    EXPECT_FALSE(list_.MarkGroupGone(""));
    EXPECT_TRUE(list_.MarkGroupGone(kOffice));
    EXPECT_EQ(suite->removed, item_state::kGone);
    EXPECT_EQ(word->removed, item_state::kGone);
    EXPECT_EQ(other->removed, item_state::kPresent);
}

TEST_F(WatchListPasses, OneItemPerCatalogueMatchStaysShown) {
    VN_WatchItem* fromShortcut = Add(wltest::Program("Zoom", "C:\\Users\\ann\\AppData\\Roaming\\Zoom\\bin\\Zoom.exe", "5.17"));
    fromShortcut->matchedPvId = "pv-4411";
    VN_WatchItem* fromRegistry = Add(wltest::UninstallEntry("Zoom", "ZoomUMX", "C:\\Zoom\\uninstall\\Installer.exe /uninstall"));
    fromRegistry->matchedPvId = "pv-4411";
    VN_WatchItem* running = Add(wltest::Program("Zoom Meetings", "C:\\Zoom\\bin\\Zoom.exe", "5.17"));
    running->matchedPvId = "pv-4411";
    VN_WatchItem* otherProduct = Add(wltest::Program("VLC", "C:\\VLC\\vlc.exe", "3.0"));
    otherProduct->matchedPvId = "PV-4411";  // a different key: the match ids compare exactly
    VN_WatchItem* unmatched1 = Add(wltest::Program("A", "C:\\A\\a.exe", "1"));
    VN_WatchItem* unmatched2 = Add(wltest::Program("B", "C:\\B\\b.exe", "1"));

    list_.CombineByMatchedPvId();
    EXPECT_EQ(fromShortcut->removed, item_state::kGone) << "the later uninstall entry wins over a program";
    EXPECT_EQ(fromRegistry->removed, item_state::kPresent);
    EXPECT_EQ(running->removed, item_state::kGone);
    EXPECT_EQ(otherProduct->removed, item_state::kPresent);
    EXPECT_EQ(unmatched1->removed, item_state::kPresent);
    EXPECT_EQ(unmatched2->removed, item_state::kPresent);
    EXPECT_TRUE(fromShortcut->uninstallString.empty()) << "hidden, not merged";
}

TEST_F(WatchListPasses, AHiddenItemNeverHidesAShownOneWithTheSameCatalogueMatch) {
    // A component folded into its suite stays in the list, hidden, with the
    // catalogue match the suite took over.
    VN_WatchItem* folded = Add(wltest::Component("{NPP-SUITE}", "{NPP-EXE}", "Notepad++", "C:\\Npp\\notepad++.exe"));
    folded->matchedPvId = "pv-1";
    folded->removed = item_state::kGone;
    VN_WatchItem* shown = Add(wltest::Program("Notepad++", "C:\\Npp\\notepad++.exe", "8.6"));
    shown->matchedPvId = "pv-1";
    // Nor does a hidden uninstall entry take the place of a shown program.
    VN_WatchItem* program = Add(wltest::Program("Foo", "C:\\Foo\\foo.exe", "2.1"));
    program->matchedPvId = "pv-2";
    VN_WatchItem* goneEntry = Add(wltest::UninstallEntry("Foo", "Foo", "C:\\Foo\\uninst.exe"));
    goneEntry->matchedPvId = "pv-2";
    goneEntry->removed = item_state::kGone;
    // What the user removed still hides its duplicates.
    VN_WatchItem* removedByUser = Add(wltest::Program("Bar", "C:\\Bar\\bar.exe", "1"));
    removedByUser->matchedPvId = "pv-3";
    removedByUser->removed = item_state::kRemovedByUser;
    VN_WatchItem* duplicate = Add(wltest::Program("Bar", "C:\\Bar\\bin\\bar.exe", "1"));
    duplicate->matchedPvId = "pv-3";

    list_.CombineByMatchedPvId();
    EXPECT_EQ(shown->removed, item_state::kPresent);
    EXPECT_EQ(program->removed, item_state::kPresent);
    EXPECT_EQ(goneEntry->removed, item_state::kGone);
    EXPECT_EQ(removedByUser->removed, item_state::kRemovedByUser);
    EXPECT_EQ(duplicate->removed, item_state::kGone);
}

// ---------------------------------------------------------------- combining

TEST_F(WatchListPasses, ASuiteWithOneProgramBecomesThatProgram) {
    auto installer = std::make_unique<wltest::FakeInstaller>();
    installer->answers[{"{NPP-SUITE}", "InstalledProductName"}] = "Notepad++ (64-bit x64)";
    installerQuery_.Replace(std::move(installer));
    VN_WatchItem* suite = Add(wltest::Suite("{NPP-SUITE}"));
    EXPECT_EQ(suite->GetDisplayName(false), "Notepad++ (64-bit x64)");
    VN_WatchItem* program = Add(wltest::Component("{npp-suite}", "{NPP-EXE}", "Notepad++", "C:\\Npp\\notepad++.exe"));
    program->SetCurrentVers("8.6.5");
    program->productId = "10044";
    VN_WatchItem* help = Add(wltest::Component("{NPP-SUITE}", "{NPP-HELP}", "Help", ""));

    list_.CombineItems();
    EXPECT_EQ(program->removed, item_state::kGone);
    EXPECT_EQ(help->removed, item_state::kPresent);
    EXPECT_FALSE(suite->IsSuite());
    EXPECT_TRUE(suite->productGuid.empty());
    EXPECT_TRUE(suite->componentGuid.empty());
    EXPECT_EQ(suite->targetName, "C:\\Npp\\notepad++.exe");
    EXPECT_EQ(suite->currentVers, "8.6.5");
    EXPECT_EQ(suite->productId, "10044");
    EXPECT_EQ(suite->GetDisplayName(false), "Notepad++") << "a plain program shows its own name";
    EXPECT_TRUE(list_.IsModified());
}

TEST_F(WatchListPasses, ASuiteThatBecameItsProgramIsFoundAgainByTheNextScan) {
    // What the installer scan hands on for a product with one program: the
    // component, then the product's bare suite.
    const Item component = wltest::Component("{NPP-SUITE}", "{NPP-EXE}", "Notepad++", "C:\\Npp\\notepad++.exe");
    const Item suiteSighting = wltest::Suite("{NPP-SUITE}");
    auto scan = [&] {
        list_.IncrementScanCount();
        list_.AddOrMerge(*component, false, true);
        list_.AddOrMerge(*suiteSighting, false, true);
    };
    scan();
    ASSERT_EQ(list_.GetCount(), 2u);
    VN_WatchItem* suite = list_.GetWatchItemAt(1);
    list_.CombineItems();
    ASSERT_FALSE(suite->IsSuite());
    suite->skipped = true;

    // The next pass, ended as a complete pass ends: what it did not find goes.
    scan();
    list_.RemoveStaleItems();
    ASSERT_EQ(list_.GetCount(), 2u) << "no fresh suite entry";
    ASSERT_EQ(list_.GetWatchItemAt(1), suite) << "the entry with the user's state stays";
    EXPECT_TRUE(list_.GetWatchItemAt(1)->skipped);
    EXPECT_EQ(list_.GetWatchItemAt(1)->removed, item_state::kPresent);
}

TEST_F(WatchListPasses, ASuiteWithSeveralProgramsTakesTheOneWithACurrentVersion) {
    VN_WatchItem* suite = Add(wltest::Suite(kOffice));
    VN_WatchItem* word = Add(wltest::Component(kOffice, "{C-WORD}", "Word", "C:\\Office\\WINWORD.EXE"));
    word->SetCurrentVers("16.0.17531");
    VN_WatchItem* excel = Add(wltest::Component(kOffice, "{C-EXCEL}", "Excel", "C:\\Office\\EXCEL.EXE"));

    list_.CombineItems();
    EXPECT_EQ(word->removed, item_state::kGone);
    EXPECT_EQ(excel->removed, item_state::kPresent);
    EXPECT_TRUE(suite->IsSuite()) << "the suite keeps its product code and drops the folded component code";
    EXPECT_EQ(suite->targetName, "C:\\Office\\WINWORD.EXE");

    // Two components with a current version: nothing singles one out.
    VN_WatchList other;
    auto* suite2 = static_cast<VN_WatchItem*>(other.AddTail(wltest::Suite(kOffice)));
    for (const char* exe : {"C:\\Office\\WINWORD.EXE", "C:\\Office\\EXCEL.EXE"}) {
        auto* c = static_cast<VN_WatchItem*>(other.AddTail(wltest::Component(kOffice, exe, "x", exe)));
        c->SetCurrentVers("16.0");
    }
    other.CombineItems();
    EXPECT_TRUE(suite2->targetName.empty());
    EXPECT_EQ(other.GetWatchItemAt(1)->removed, item_state::kPresent);
    EXPECT_EQ(other.GetWatchItemAt(2)->removed, item_state::kPresent);
}

TEST_F(WatchListPasses, AnUninstallEntryTakesTheProgramInTheFolderItNames) {
    list_.SetWindowsFolder("C:\\Windows");
    VN_WatchItem* entry = Add(wltest::UninstallEntry(
        "Foo App 2.1", "FooApp", "\"C:\\Program Files\\Foo App\\uninstall.exe\" /S /LOG=\"C:\\Temp\\x.log\""));
    VN_WatchItem* program = Add(wltest::Program("Foo App", "C:\\PROGRAM FILES\\foo app\\foo.exe", "2.1"));
    program->productId = "555";
    VN_WatchItem* elsewhere = Add(wltest::Program("Bar", "C:\\Program Files\\Bar\\bar.exe", "1.0"));

    list_.CombineItems();
    EXPECT_EQ(program->removed, item_state::kGone);
    EXPECT_EQ(entry->targetName, "C:\\PROGRAM FILES\\foo app\\foo.exe");
    EXPECT_EQ(entry->productId, "555");
    EXPECT_EQ(elsewhere->removed, item_state::kPresent);
}

TEST_F(WatchListPasses, InstallerUninstallCommandsAndSystemFoldersNeverAbsorbPrograms) {
    list_.SetWindowsFolder("C:\\Windows");
    VN_WatchItem* msi = Add(wltest::UninstallEntry("Tool", "{T}", "  msiEXEC.exe /x C:\\Tools\\tool.exe"));
    VN_WatchItem* tool = Add(wltest::Program("Tool", "C:\\Tools\\tool.exe", "1"));
    VN_WatchItem* system = Add(wltest::UninstallEntry("Sys", "Sys", "C:\\WINDOWS\\System32\\sysuninst.exe"));
    VN_WatchItem* sysProgram = Add(wltest::Program("Sys", "C:\\Windows\\System32\\sys.exe", "1"));
    VN_WatchItem* network = Add(wltest::UninstallEntry("Net", "Net", "\\\\server\\apps\\uninst.exe"));
    VN_WatchItem* netProgram = Add(wltest::Program("Net", "\\\\server\\apps\\net.exe", "1"));
    VN_WatchItem* root = Add(wltest::UninstallEntry("Root", "Root", "D:\\uninst.exe"));
    VN_WatchItem* rootProgram = Add(wltest::Program("Root", "D:\\root.exe", "1"));

    list_.CombineItems();
    for (VN_WatchItem* program : {tool, sysProgram, netProgram, rootProgram})
        EXPECT_EQ(program->removed, item_state::kPresent) << program->targetName;
    for (VN_WatchItem* entry : {msi, system, network, root}) EXPECT_TRUE(entry->targetName.empty());
}

TEST_F(WatchListPasses, AFolderNamedInsideTheCommandMatchesOnlyForTheSameProduct) {
    list_.SetWindowsFolder("C:\\Windows");
    // Not a word of its own, so only the catalogue product can tie them together.
    VN_WatchItem* entry =
        Add(wltest::UninstallEntry("Bar", "Bar", "C:\\Uninst\\remove.exe /dir=C:\\Program Files\\Bar\\ /S"));
    entry->productId = "777";
    VN_WatchItem* stranger = Add(wltest::Program("Bar", "C:\\Program Files\\Bar\\bar.exe", "1"));
    stranger->productId = "778";
    list_.CombineItems();
    EXPECT_EQ(stranger->removed, item_state::kPresent);

    stranger->productId = "777";
    list_.CombineItems();
    EXPECT_EQ(stranger->removed, item_state::kGone);
    EXPECT_EQ(entry->targetName, "C:\\Program Files\\Bar\\bar.exe");
}

TEST_F(WatchListPasses, SeveralProgramsInTheFolderNeedOneWithACurrentVersion) {
    list_.SetWindowsFolder("C:\\Windows");
    VN_WatchItem* entry = Add(wltest::UninstallEntry("Suite", "Suite", "C:\\Apps\\Suite\\unins000.exe"));
    VN_WatchItem* editor = Add(wltest::Program("Editor", "C:\\Apps\\Suite\\editor.exe", "1"));
    VN_WatchItem* viewer = Add(wltest::Program("Viewer", "C:\\Apps\\Suite\\viewer.exe", "1"));
    list_.CombineItems();
    EXPECT_TRUE(entry->targetName.empty());

    viewer->SetCurrentVers("2.0");
    list_.CombineItems();
    EXPECT_EQ(entry->targetName, "C:\\Apps\\Suite\\viewer.exe");
    EXPECT_EQ(viewer->removed, item_state::kGone);
    EXPECT_EQ(editor->removed, item_state::kPresent);
}

TEST(WatchListCommandLine, WordsKeepQuotedBlanksAndLoseTheirQuotes) {
    using Tokens = std::vector<std::string>;
    EXPECT_EQ(VN_WatchListItemCombine::CommandLineTokens("\"C:\\Program Files\\A\\u.exe\" /S  \t/x=\"a b\""),
              (Tokens{"C:\\Program Files\\A\\u.exe", "/S", "/x=\"a b"}));
    EXPECT_EQ(VN_WatchListItemCombine::CommandLineTokens("   "), Tokens{});
    EXPECT_EQ(VN_WatchListItemCombine::FolderOf("C:\\A\\b.exe"), "C:\\A\\");
    EXPECT_EQ(VN_WatchListItemCombine::FolderOf("b.exe"), "");
}

// ------------------------------------------------- presence, resets, updates

TEST_F(WatchListPasses, ItemsWhoseProgramOrProductIsGoneAreMarkedGone) {
    TempDir dir;
    testsupport::WriteFile(dir.File("present.exe"), "MZ");
    auto installer = std::make_unique<wltest::FakeInstaller>();
    installer->answers[{"{INSTALLED}", "InstalledProductName"}] = "Installed Suite";
    installerQuery_.Replace(std::move(installer));

    VN_WatchItem* present = Add(wltest::Program("Present", dir.Path() + "\\present.exe", "1"));
    VN_WatchItem* missing = Add(wltest::Program("Missing", dir.Path() + "\\missing.exe", "1"));
    VN_WatchItem* installed = Add(wltest::Suite("{INSTALLED}"));
    VN_WatchItem* uninstalled = Add(wltest::Suite("{UNINSTALLED}"));
    VN_WatchItem* named = Add(wltest::UninstallEntry("Named", "Named", "C:\\x\\u.exe"));
    VN_WatchItem* nameless = Add(wltest::UninstallEntry("", "Nameless", "C:\\y\\u.exe"));

    list_.ValidateExeFiles();
    EXPECT_EQ(present->removed, item_state::kPresent);
    EXPECT_EQ(missing->removed, item_state::kGone);
    EXPECT_EQ(installed->removed, item_state::kPresent);
    EXPECT_EQ(uninstalled->removed, item_state::kGone);
    EXPECT_EQ(named->removed, item_state::kPresent) << "an uninstall entry is not checked for files";
    EXPECT_EQ(nameless->removed, item_state::kGone);
}

TEST_F(WatchListPasses, TheResetKeepsTheUsersOwnItemsAsTheyAre) {
    VN_WatchItem* mine = Add(wltest::Program("Mine", "C:\\m.exe", "1"));
    mine->userAdded = true;
    mine->removed = item_state::kRemovedByUser;
    Add(wltest::Program("Scanned", "C:\\s.exe", "1"));
    list_.AddTail(nullptr);
    VN_WatchItem* alsoMine = Add(wltest::Program("Also mine", "C:\\a.exe", "1"));
    alsoMine->userAdded = true;

    list_.ClearNonUserItems();
    ASSERT_EQ(list_.GetCount(), 3u);
    EXPECT_EQ(list_.GetWatchItemAt(0), mine);
    EXPECT_EQ(mine->removed, item_state::kRemovedByUser);
    EXPECT_EQ(list_.GetAt(1), nullptr) << "null entries stay";
    EXPECT_EQ(list_.GetWatchItemAt(2), alsoMine);
}

TEST_F(WatchListPasses, TheUpdateListHoldsShownUnskippedUpdatesWithTheirPositions) {
    VN_WatchItem* a = Add(wltest::Program("A", "C:\\a.exe", "1"));
    list_.AddTail(nullptr);
    VN_WatchItem* b = Add(wltest::Program("B", "C:\\b.exe", "1"));
    VN_WatchItem* skipped = Add(wltest::Program("Skipped", "C:\\s.exe", "1"));
    VN_WatchItem* hidden = Add(wltest::Program("Hidden", "C:\\h.exe", "1"));
    VN_WatchItem* c = Add(wltest::Program("C", "C:\\c.exe", "1"));
    for (VN_WatchItem* item : {a, b, skipped, hidden, c}) item->updateAvailable = item->outdated = true;
    skipped->skipped = true;
    hidden->removed = item_state::kRemovedByUser;
    b->updateAvailable = false;

    std::vector<VN_WatchItem*> updates(3, a);
    EXPECT_EQ(list_.BuildUpdateList(updates), 2);
    ASSERT_EQ(updates.size(), 30u);
    EXPECT_EQ(updates[0], a);
    EXPECT_EQ(updates[1], c);
    EXPECT_EQ(updates[2], nullptr);
    EXPECT_EQ(a->listIndex, 0);
    EXPECT_EQ(c->listIndex, 4) << "positions count the entries that are not null";

    // More than 30 updates grow the array.
    for (int i = 0; i < 33; ++i) {
        VN_WatchItem* more = Add(wltest::Program("More", "C:\\more" + std::to_string(i) + ".exe", "1"));
        more->updateAvailable = true;
    }
    EXPECT_EQ(list_.BuildUpdateList(updates), 35);
    EXPECT_EQ(updates.size(), 35u);

    list_.ItemFlagsReset();
    EXPECT_EQ(list_.BuildUpdateList(updates), 0);
    EXPECT_FALSE(a->outdated);
}

// ---------------------------------------------------------------- scan time

TEST(WatchListScanTime, UtcBreakdownAcrossTheCalendar) {
    struct Case {
        int64_t seconds;
        int year, month, day, hour, minute, second, dayOfWeek;
    };
    const Case cases[] = {
        {0, 1970, 1, 1, 0, 0, 0, 4},
        {951782400, 2000, 2, 29, 0, 0, 0, 2},
        {1710421509, 2024, 3, 14, 13, 5, 9, 4},
        {4102444799, 2099, 12, 31, 23, 59, 59, 4},
        {-1, 1969, 12, 31, 23, 59, 59, 3},
        {-11644473600LL, 1601, 1, 1, 0, 0, 0, 1},
        {910670515199LL, 30827, 12, 31, 23, 59, 59, 5},
    };
    for (const Case& c : cases) {
        const auto t = inventory::UtcCalendarTime(c.seconds);
        ASSERT_TRUE(t) << c.seconds;
        EXPECT_EQ(std::vector<int>({t->year, t->month, t->day, t->hour, t->minute, t->second, t->dayOfWeek}),
                  std::vector<int>({c.year, c.month, c.day, c.hour, c.minute, c.second, c.dayOfWeek}))
            << c.seconds;
    }
    EXPECT_FALSE(inventory::UtcCalendarTime(-11644473601LL));
    EXPECT_FALSE(inventory::UtcCalendarTime(910670515200LL));
}

TEST(WatchListScanTime, UtcTimeAndLocalDate) {
    const char* const saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    VN_WatchList list;
    list.SetScanTime(0);
    EXPECT_EQ(list.GetScanTimeText(), "");
    list.SetScanTime(1710446400);  // 2024-03-14 20:00 UTC, the 15th in Tokyo
    EXPECT_EQ(list.GetScanTimeText(), "3/14/2024, 20:00:00 UTC");
    EXPECT_EQ(list.GetScanDateText(), "3/15/2024");
    list.SetScanTime(INT64_MAX);  // beyond any calendar: kept as it was
    EXPECT_EQ(list.GetScanDateText(), "3/15/2024");
    if (saved) ::setenv("TZ", previous.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

TEST_F(WatchListPasses, DebugListingOfKeysSignaturesAndCommands) {
    VN_WatchItem* entry = Add(wltest::UninstallEntry("Foo", "FooKey", "C:\\Foo\\unins.exe"));
    entry->iconPath = "C:\\Foo\\foo.ico";
    list_.AddTail(nullptr);
    Add(wltest::Program("Bar", "C:\\bar.exe", "1"));
    wltest::DebugCapture debug;
    list_.PrintWatchList();
    EXPECT_EQ(debug.text,
              "------------------Print WatchList ----------\n"
              "1\n    keyName:FooKey\n  signature:Foo|C:\\Foo\\unins.exe\n  uninstallString:C:\\Foo\\unins.exe\n"
              "         iconPath:C:\\Foo\\foo.ico\n"
              "2\n    keyName:\n  signature:\n  uninstallString:\n         iconPath:\n"
              "-----------End PrintWatchList-----------\n");
}

TEST_F(WatchListPasses, LoginErrorAndSubscriptionNoteAreKeptForTheWindow) {
    EXPECT_EQ(list_.GetLoginError(), "");
    list_.SetLoginError("Your subscription has expired.");
    EXPECT_EQ(list_.GetLoginError(), "Your subscription has expired.");
    inventory::SubscriptionNote note;
    note.message = "Renew now and save 20%";
    note.buttons.push_back({"Renew", "open", "https://example.com/renew"});
    note.buttons.push_back({"Later", "close", ""});
    list_.SetSubscriptionNote(note);
    const inventory::SubscriptionNote kept = list_.GetSubscriptionNote();
    EXPECT_EQ(kept.message, note.message);
    ASSERT_EQ(kept.buttons.size(), 2u);
    EXPECT_EQ(kept.buttons[0].url, "https://example.com/renew");
    EXPECT_EQ(kept.buttons[1].action, "close");
}

}  // namespace

namespace {

// An installer that fails in the middle of a pass, with an exception object
// or with something else.
class FailingInstaller : public inventory::IInstallerQuery {
public:
    explicit FailingInstaller(bool exceptionObject) : exceptionObject_(exceptionObject) {}
    std::optional<std::string> ProductInfo(const std::string&, const std::string&) override {
        if (exceptionObject_) throw std::runtime_error("installer service stopped");
        throw 42;
    }

private:
    bool exceptionObject_;
};

TEST(WatchListFailures, APassThatFailsLogsItsLineAndKeepsWhatItDid) {
    for (bool exceptionObject : {true, false}) {
        testsupport::LogCapture log;
        testing_support::ScopedHook<inventory::InstallInstallerQuery> installer(
            std::make_unique<FailingInstaller>(exceptionObject));
        VN_WatchList list;
        auto* missing = static_cast<VN_WatchItem*>(list.AddTail(wltest::Program("Gone", "C:\\nowhere\\x.exe", "1")));
        list.AddTail(wltest::Suite("{ASKS-THE-INSTALLER}"));
        auto* after = static_cast<VN_WatchItem*>(list.AddTail(wltest::Program("Later", "C:\\nowhere\\y.exe", "1")));

        list.ValidateExeFiles();
        EXPECT_EQ(missing->removed, item_state::kGone) << "items before the failure stay changed";
        EXPECT_EQ(after->removed, item_state::kPresent);
        const std::string suffix = exceptionObject ? "" : " in catch all block.";
        EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_WatchList::ValidateExeFiles" + suffix)) << log.Text();

        // A suite's version comes from the installer while merging.
        list.IncrementScanCount();
        auto again = wltest::Suite("{ASKS-THE-INSTALLER}");
        again->installedVers2 = "2.0";
        EXPECT_FALSE(list.AddOrMerge(*again, false, false));
        EXPECT_TRUE(log.Contains("*** Warning, exceptions in VN_WatchListAdd::AddOrMerge" + suffix)) << log.Text();
        installer.Replace(nullptr);
        EXPECT_EQ(list.FindSameItem(*again), list.GetWatchItemAt(1)) << "the list is still searchable";
        EXPECT_EQ(list.GetCount(), 3u);
        // The suite was seen in this pass even though its merge failed: the
        // end of the pass keeps it.
        EXPECT_EQ(list.GetWatchItemAt(1)->scanStamp, list.GetScanCount());
    }
}

}  // namespace
