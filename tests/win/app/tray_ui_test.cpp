// The tray and the status bar of a real main frame under Wine: the icon is
// driven through its callback message ("WM_Varnel10_NOTIFCATION") as the
// shell sends it, the menu is read back from the open menu window, and the
// check summary and progress phases are posted as the engine posts them.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/app_messages.h"
#include "app/error_dialog.h"
#include "app/main_events.h"
#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "engine/engine_system.h"
#include "platform/clock.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"
#include "resource.h"
#include "screen_png.h"
#include "service/scan_report.h"

namespace {

class Reports final : public vnxml::IScanReportService {
public:
    bool GetScanReport(vnxml::ScanReportStatus& status) override {
        status = vnxml::ScanReportStatus::Complete;
        return true;
    }
    bool RequestOutOfDateList(bool) override { return answers; }
    void CopyOutOfDateNames(std::vector<std::string>& out) const override { out = names; }
    int OutOfDateCount() const override { return static_cast<int>(names.size()); }
    bool UserReportFlag() const override { return flag; }
    bool answers = true;
    bool flag = true;
    std::vector<std::string> names{" Alpha Editor 2.1 ", "AT&T Beta Player"};
};

class System final : public engine::IEngineSystem {
public:
    explicit System(std::vector<std::string>& opened) : opened_(opened) {}
    bool IsConnected() override { return true; }
    bool BeginThreadCom() override { return false; }
    void EndThreadCom() override {}
    void OpenUrl(const std::string& url) override { opened_.push_back(url); }

private:
    std::vector<std::string>& opened_;
};

void Pump(DWORD ms = 0) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms) Sleep(10);
    } while (GetTickCount() - start < ms);
}

// What the open tray menu showed, read from its window by a timer.
struct MenuItem {
    std::string text;
    UINT state;
    std::vector<std::string> popup;
};
std::vector<MenuItem> g_menu;
int g_menusOpened = 0;
std::string g_menuShot;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND window = FindWindowA("#32768", nullptr);
    if (!window) return;
    KillTimer(nullptr, timer);
    ++g_menusOpened;
    const HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    g_menu.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MenuItem item;
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        item.text = text;
        item.state = GetMenuState(menu, i, MF_BYPOSITION);
        if (const HMENU sub = GetSubMenu(menu, i)) {
            for (int j = 0; j < GetMenuItemCount(sub); ++j) {
                GetMenuStringA(sub, j, text, sizeof text, MF_BYPOSITION);
                item.popup.emplace_back(text);
            }
        }
        g_menu.push_back(item);
    }
    if (!g_menuShot.empty()) {
        RECT r{};
        GetWindowRect(window, &r);
        testing_app::SaveScreenPng(r, g_menuShot);
    }
    EndMenu();
}

class TrayUi : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        platform::AppSettings().WriteText(setting::kTempHtmlFolder, temp_.str());
        platform::AppSettings().WriteText(setting::kHomePageUrl, "http://127.0.0.1:9/my");
        vnxml::InstallScanReportService(&reports_);
        frame_ = std::make_unique<app::CMainEvents>(GetModuleHandleA(nullptr));
        ASSERT_TRUE(frame_->Create());
        // In a fresh virtual desktop the taskbar takes the icon a few seconds later.
        if (!getenv("VARNEL_TRAY_DESKTOP")) {
            ASSERT_TRUE(frame_->Tray().IsShown());
        }
        window_ = frame_->Window();
        // The command table opens the user's page: recorded here, and each
        // request comes six seconds after the last, outside its 5-second limit.
        frame_->Commands()->openPage = [this](const std::string& file, const std::string&) {
            opened_.push_back(file);
            return true;
        };
        frame_->Commands()->now = [this] { return clock_ += 6000; };
    }
    void TearDown() override {
        app::CErrorDlg::Close();
        frame_.reset();
        Pump();
        vnxml::InstallScanReportService(nullptr);
        testing_app::DeleteProgramKeys();
    }
    void Mouse(UINT event) { SendMessageA(window_, app::Messages().notification, app::CTrayIcon::kId, event); }
    // Opens the menu as a right click does and reads it while it is open.
    int OpenMenu(const std::string& shot = "") {
        g_menuShot = shot;
        const int before = g_menusOpened;
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, ReadOpenMenu);
        Mouse(WM_RBUTTONUP);
        Pump(100);
        KillTimer(nullptr, timer);
        return g_menusOpened - before;
    }

    testing_support::TempFolder temp_{"varnel-tray"};
    Reports reports_;
    std::vector<std::string> opened_;
    uint64_t clock_ = 0;
    testing_support::ScopedHook<engine::InstallEngineSystem> system_{std::make_unique<System>(opened_)};
    testing_support::EventRecorder events_;
    std::unique_ptr<app::CMainEvents> frame_;
    HWND window_ = nullptr;
};

TEST_F(TrayUi, MenuHoldsEveryItemAndTheNamesPopup) {
    ASSERT_EQ(OpenMenu(), 1);
    ASSERT_EQ(g_menu.size(), 12u);
    EXPECT_EQ(g_menu[0].text, "2 updates available");
    // A name's "&" is shown, not taken for an access key.
    EXPECT_EQ(g_menu[0].popup, (std::vector<std::string>{"Alpha Editor 2.1", "AT&&T Beta Player"}));
    EXPECT_EQ(g_menu[2].text, "&About Zelto Varnel...");
    EXPECT_EQ(g_menu[6].text, "S&top Scan");
    EXPECT_TRUE(g_menu[6].state & MF_GRAYED) << "no worker runs";
    EXPECT_FALSE(g_menu[7].state & MF_GRAYED);
    EXPECT_EQ(g_menu[9].text, "&Go to my Zelto Varnel page");
    EXPECT_TRUE(g_menu[9].state & MF_DEFAULT);
    EXPECT_EQ(g_menu[11].text, "E&xit");
    EXPECT_EQ(frame_->TrayUi().StatusText(), "2 updates available");

    // A name opens the user's page; the "Updates" command with this status text too.
    SendMessageA(window_, WM_COMMAND, 33001, 0);
    SendMessageA(window_, WM_COMMAND, ID_UPDATES, 0);
    EXPECT_EQ(opened_,
              (std::vector<std::string>{"http://127.0.0.1:9/my?tag=client", "http://127.0.0.1:9/my?tag=client"}));

    reports_.answers = false;
    frame_->askingAboutUpdate = true;
    ASSERT_EQ(OpenMenu(), 1);
    EXPECT_EQ(g_menu[0].text, "Click here for your updates");
    EXPECT_TRUE(g_menu[7].state & MF_GRAYED) << "Scan Now while asking about an update";
    EXPECT_TRUE(g_menu[11].state & MF_GRAYED) << "Exit while asking about an update";
}

TEST_F(TrayUi, TooltipFollowsTheMouseAndALoginErrorIsShownByUpdates) {
    Mouse(WM_MOUSEMOVE);
    EXPECT_EQ(frame_->Tray().Tooltip(), "Zelto Varnel: 2 updates available");
    frame_->WatchList()->SetLoginError("The account is locked");
    Mouse(WM_MOUSEMOVE);
    EXPECT_EQ(frame_->Tray().Tooltip(), "Zelto Varnel: login error");
    SendMessageA(window_, WM_COMMAND, ID_UPDATES, 0);
    ASSERT_NE(app::CErrorDlg::Window(), nullptr);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(TrayUi, BalloonGuardSwallowsClicksUntilHalfASecondAfterItGoes) {
    Mouse(NIN_BALLOONSHOW);
    EXPECT_TRUE(app::CTrayIcon::BalloonUp());
    EXPECT_EQ(OpenMenu(), 0) << "a click while the balloon is up";
    Mouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(opened_.empty());
    // A click on the balloon opens the user's page, then the guard runs out.
    Mouse(NIN_BALLOONUSERCLICK);
    Pump(100);
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(app::CTrayIcon::BalloonUp());
    Pump(700);
    EXPECT_FALSE(app::CTrayIcon::BalloonUp());
    Mouse(WM_LBUTTONDBLCLK);
    EXPECT_EQ(opened_.size(), 2u);
}

TEST_F(TrayUi, CheckSummaryPulsesReportsAndEmptiesTheTemporaryPages) {
    platform::AppSettings().WriteFlag(setting::kPulseIcon, true);
    temp_.Write("page.htm", "<p>");
    std::filesystem::create_directories(temp_.path() / "keep");
    PostMessageA(window_, app::Messages().updateComplete, 1, 1);
    Pump(350);
    EXPECT_TRUE(frame_->Tray().IsPulsing());
    EXPECT_GE(frame_->Tray().IconId(), 159);
    EXPECT_LE(frame_->Tray().IconId(), 190);
    const auto events = events_.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, platform::EventKind::CheckSummary);
    EXPECT_EQ(events[0].text.rfind("updates: 2 available\ncomputer: ", 0), 0u) << events[0].text;
    EXPECT_EQ(events[0].text.find('\t'), std::string::npos);
    EXPECT_FALSE(platform::AppSettings().ReadFlag(setting::kFirstRun, true));
    EXPECT_FALSE(std::filesystem::exists(temp_.path() / "page.htm"));
    EXPECT_TRUE(std::filesystem::exists(temp_.path() / "keep"));
    // The first click stops the pulse and puts icon 134 back.
    OpenMenu();
    EXPECT_FALSE(frame_->Tray().IsPulsing());
    EXPECT_EQ(frame_->Tray().IconId(), 134);
}

TEST_F(TrayUi, StatusBarShowsTheSchedulePhasesAndTheRedError) {
    app::CStatusProgBar& bar = frame_->StatusBar();
    EXPECT_EQ(bar.PaneText(0),
              "This application is set to scan once every day. Press 'Check Updates' button to "
              "check for updates now.");
    EXPECT_EQ(bar.PaneText(2), "Last successful check");
    SendMessageA(window_, app::Messages().progress, 1, 1);
    EXPECT_TRUE(frame_->Scanning());
    EXPECT_TRUE(bar.ProgressVisible());
    EXPECT_EQ(bar.ProgressPosition(), 5);
    SendMessageA(window_, app::Messages().progress, 5, 0);
    static const char kSending[] = "Sending request";
    SendMessageA(window_, app::Messages().talkProgress, 0, reinterpret_cast<LPARAM>(kSending));
    EXPECT_EQ(bar.PaneText(0), "Checking for updates: Sending request");
    EXPECT_EQ(bar.ProgressPosition(), 51);
    SendMessageA(window_, app::Messages().talkProgress, 0, 1);  // not a text: ignored
    EXPECT_EQ(bar.PaneText(0), "Checking for updates: Sending request");
    ShowWindow(window_, SW_SHOW);
    SetWindowPos(window_, HWND_TOP, 40, 40, 640, 200, SWP_SHOWWINDOW);
    Pump(200);
    RECT r{};
    GetWindowRect(window_, &r);
    EXPECT_TRUE(testing_app::SaveScreenPng(r, "status_bar_checking"));
    SendMessageA(window_, app::Messages().progress, 7, 1);
    EXPECT_FALSE(frame_->Scanning());
    EXPECT_EQ(bar.PaneText(0), "Completed");
    EXPECT_EQ(bar.PaneText(2).rfind("Last check: ", 0), 0u);
    EXPECT_FALSE(bar.ProgressVisible());

    // An error text of the run shows in red when the check ends.
    SendMessageA(window_, app::Messages().progress, 1, 1);
    bar.SetRedText("The server was busy and could not check for updates.");
    SendMessageA(window_, app::Messages().progress, 7, 1);
    EXPECT_TRUE(bar.RedTextVisible());
    Pump(200);
    EXPECT_TRUE(testing_app::SaveScreenPng(r, "status_bar_error"));
    SendMessageA(window_, app::Messages().progress, 1, 1);
    EXPECT_FALSE(bar.RedTextVisible());
}

}  // namespace

namespace {

// The tray as a user sees it, in Wine's virtual desktop with its taskbar:
// tests/e2e/tray_screenshots.sh runs this inside
// "explorer /desktop=shell,1024x768" (with VARNEL_TRAY_DESKTOP set). After a
// check that found four updates: the balloon, the tooltip, the icon, the
// menu and its names' popup, saved to build/screenshots.
constexpr POINT kIcon{1013, 758};  // the first icon of a 1024x768 desktop
int g_menuStep = 0;

void CALLBACK MenuShots(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND window = FindWindowA("#32768", nullptr);
    if (!window) return;
    if (g_menuStep++ == 0) {
        testing_app::SaveScreenPng(RECT{704, 448, 1024, 768}, "tray_menu");
        // The pointer onto "4 updates available" opens the names' popup.
        const HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
        RECT item{};
        if (GetMenuItemRect(nullptr, menu, 0, &item)) SetCursorPos(item.left + 20, (item.top + item.bottom) / 2);
        return;
    }
    testing_app::SaveScreenPng(RECT{384, 448, 1024, 768}, "tray_menu_names");
    KillTimer(nullptr, timer);
    EndMenu();
}

class TrayDesktop : public TrayUi {
protected:
    void SetUp() override {
        if (!getenv("VARNEL_TRAY_DESKTOP")) GTEST_SKIP() << "runs inside Wine's virtual desktop only";
        reports_.names = {"7-Zip 23.01 (x64)", "VLC media player 3.0.18", "PuTTY release 0.79 (64-bit)",
                          "AT&T Connect Client 3.2"};
        TrayUi::SetUp();
    }
};

TEST_F(TrayDesktop, IconTooltipMenuAndBalloonAsTheUserSeesThem) {
    for (int i = 0; i < 60 && !frame_->Tray().IsShown(); ++i) Pump(500);
    ASSERT_TRUE(frame_->Tray().IsShown());
    Pump(2000);
    // The check's request stamps the watch list, which dates the summary.
    frame_->WatchList()->SetScanTime(platform::CurrentTime());
    PostMessageA(window_, app::Messages().updateComplete, 1, 1);
    Pump(4000);  // the shell shows a balloon about two seconds after it is asked for
    EXPECT_TRUE(testing_app::SaveScreenPng(RECT{544, 448, 1024, 768}, "tray_balloon"));
    SetCursorPos(900, 600);
    Pump(500);
    SetCursorPos(kIcon.x, kIcon.y);
    Pump(3000);
    EXPECT_EQ(frame_->Tray().Tooltip(), "Zelto Varnel: 4 updates available");
    EXPECT_TRUE(testing_app::SaveScreenPng(RECT{704, 608, 1024, 768}, "tray_tooltip"));
    SetCursorPos(900, 600);
    Pump(1500);
    EXPECT_TRUE(testing_app::SaveScreenPng(RECT{864, 728, 1024, 768}, "tray_icon"));
    // A right click on the icon, as the shell reports it.
    SetCursorPos(kIcon.x, kIcon.y);
    g_menuStep = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 1500, MenuShots);
    Mouse(WM_RBUTTONUP);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_menuStep, 2) << "the menu was shown and its names' popup opened";
    EXPECT_TRUE(opened_.empty());
}

}  // namespace
