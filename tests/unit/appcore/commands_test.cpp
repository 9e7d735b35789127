#include "appcore/commands.h"

#include <gtest/gtest.h>

#include "platform/setting_names.h"
#include "platform/string_table.h"
#include "resource.h"

namespace {

using appcore::CommandKind;

TEST(Commands, IdsMapToTheirKinds) {
    EXPECT_EQ(appcore::ClassifyCommand(ID_SCAN_NOW), CommandKind::ScanAndCheck);
    EXPECT_EQ(appcore::ClassifyCommand(ID_STOP_CHECKING), CommandKind::Stop);
    EXPECT_EQ(appcore::ClassifyCommand(ID_TOOLBAR_SETTINGS), CommandKind::Settings);
    EXPECT_EQ(appcore::ClassifyCommand(33000), CommandKind::UpdateName);
    EXPECT_EQ(appcore::ClassifyCommand(34000), CommandKind::UpdateName);
    EXPECT_EQ(appcore::ClassifyCommand(34001), CommandKind::Unknown);
    EXPECT_EQ(appcore::ClassifyCommand(ID_VIEW_SEARCH), CommandKind::SelectView);
    EXPECT_EQ(appcore::ClassifyCommand(32864), CommandKind::Unknown);  // between the view ids
    EXPECT_EQ(appcore::ClassifyCommand(ID_LA_RESET), CommandKind::ListAction);
    EXPECT_EQ(appcore::ListActionIndex(ID_LA_UNTRACKED), 0);
    EXPECT_EQ(appcore::ListActionIndex(ID_LA_RESET), appcore::kListActionCount - 1);
    EXPECT_EQ(appcore::ListActionIndex(ID_SCAN_NOW), -1);
}

TEST(Commands, EnablingFollowsTheWorkerTheDailyListAndTheLists) {
    appcore::CommandContext idle;
    idle.listsHaveItems = true;
    EXPECT_TRUE(appcore::CommandState(ID_SCAN_AND_CHECK, idle).enabled);
    EXPECT_TRUE(appcore::CommandState(ID_CHECK_ONLY, idle).enabled);
    EXPECT_FALSE(appcore::CommandState(ID_STOP_SCAN, idle).enabled);

    appcore::CommandContext empty;
    EXPECT_TRUE(appcore::CommandState(ID_SCAN_NOW, empty).enabled);
    EXPECT_FALSE(appcore::CommandState(ID_CHECK_ONLY, empty).enabled);

    appcore::CommandContext loading = idle;
    loading.dailyListLoading = true;
    EXPECT_FALSE(appcore::CommandState(ID_SCAN_NOW, loading).enabled);
    EXPECT_FALSE(appcore::CommandState(ID_CHECK_ONLY, loading).enabled);

    appcore::CommandContext running = idle;
    running.workerRunning = true;
    EXPECT_FALSE(appcore::CommandState(ID_SCAN_NOW, running).enabled);
    EXPECT_TRUE(appcore::CommandState(ID_STOP_CHECKING, running).enabled);

    EXPECT_FALSE(appcore::CommandState(ID_CLOSE_WINDOW, idle).enabled);
    appcore::CommandContext shown = idle;
    shown.trayIconShown = true;
    shown.toolbarVisible = true;
    shown.currentView = ID_VIEW_DAILY;
    EXPECT_TRUE(appcore::CommandState(ID_CLOSE_WINDOW, shown).enabled);
    EXPECT_TRUE(appcore::CommandState(ID_VIEW_TOOLBAR, shown).checked);
    EXPECT_TRUE(appcore::CommandState(ID_VIEW_DAILY, shown).checked);
    EXPECT_FALSE(appcore::CommandState(ID_VIEW_DRIVERS, shown).checked);
}

TEST(Commands, PagesReadTheirSettingOrTheStringTableDefault) {
    auto store = platform::MakeMemorySettingsStore();
    platform::Settings settings(*store);
    const appcore::PageAddress faq = appcore::PageCommandAddress(ID_ONLINE_HELP);
    EXPECT_STREQ(faq.setting, setting::kOnlineFaqsUrl);
    EXPECT_EQ(appcore::ReadPageAddress(settings, faq), platform::LoadText(156));
    settings.WriteText(setting::kOnlineFaqsUrl, "https://faq.example/");
    EXPECT_EQ(appcore::ReadPageAddress(settings, faq), "https://faq.example/");
    EXPECT_EQ(appcore::PageCommandAddress(ID_SCAN_NOW).setting, nullptr);
}

TEST(Commands, ClientPageAddressAddsTheTagAsTheQueryAllows) {
    EXPECT_EQ(appcore::ClientPageAddress("https://h.example/p?x=1"), "https://h.example/p?x=1&tag=client");
    EXPECT_EQ(appcore::ClientPageAddress("https://h.example/p"), "https://h.example/p?tag=client");
    EXPECT_EQ(appcore::ClientPageAddress("https://h.example/p?"), "https://h.example/p?tag=client");
    EXPECT_EQ(appcore::ClientPageAddress("https://h.example/p#top"), "https://h.example/p?tag=client#top");
    EXPECT_EQ(appcore::ClientPageAddress(""), "");
}

TEST(Commands, MyPageIsAcceptedOnceEveryFiveSeconds) {
    appcore::PageRequestLimiter limiter;
    EXPECT_TRUE(limiter.Accept(100000));
    EXPECT_FALSE(limiter.Accept(103000));  // 3 seconds later
    EXPECT_FALSE(limiter.Accept(104999));
    EXPECT_TRUE(limiter.Accept(105000));
    EXPECT_FALSE(limiter.Accept(109000));  // measured from the last accepted one
}

TEST(Commands, DefaultViewAndStartPageFallBack) {
    EXPECT_EQ(appcore::DefaultViewId(ID_VIEW_HISTORY), ID_VIEW_HISTORY);
    EXPECT_EQ(appcore::DefaultViewId(ID_VIEW_SEARCH), static_cast<unsigned>(ID_VIEW_DRIVERS));
    EXPECT_EQ(appcore::DefaultViewId(0), static_cast<unsigned>(ID_VIEW_DRIVERS));
    EXPECT_STREQ(appcore::ViewTitlePrefix(ID_VIEW_DAILY), "Zelto Varnel Today's Updates - ");
    EXPECT_EQ(appcore::SettingsStartPage(2), 2);
    EXPECT_EQ(appcore::SettingsStartPage(3), 0);
}

TEST(Commands, AccountResultCodesHaveTheirTexts) {
    EXPECT_EQ(appcore::AccountResultText(0, "x"), "");
    EXPECT_EQ(appcore::AccountResultText(4, "x"), "");
    EXPECT_EQ(appcore::AccountResultText(2, "bad password"), "Login error: bad password");
    EXPECT_EQ(appcore::AccountResultText(3, ""), platform::LoadText(316));
    EXPECT_EQ(appcore::AccountResultText(42, ""), "Unknown action, return code:42");
    EXPECT_EQ(appcore::UnconfirmedAccountText("https://c.example/"),
              "Account is unconfirmed\nGo to this web address for instructions on how to confirm your account:\n"
              "https://c.example/");
}

}  // namespace
