// The windows the user reaches from the frame's commands, opened for real
// under Wine on the virtual display and saved to build/screenshots/: the
// settings sheet on each page, the about box and the error window with a
// link; and the commands that open pages. Needs the virtual display.
#include <gtest/gtest.h>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>
#include <prsht.h>
#include <richedit.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "app/about_dialog.h"
#include "app/error_dialog.h"
#include "app/main_events.h"
#include "app/settings_sheet.h"
#include "common/temp_folder.h"
#include "common/win_ui.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/win/modeless.h"
#include "registry_guard.h"
#include "resource.h"

namespace {

void Pump(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (platform::TranslateModeless(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(20);
    }
}

void Screenshot(HWND window, const std::string& name) {
    Pump();
    testing_ui::SaveScreenshot(window, name);
}

std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore());
        platform::AppSettings().WriteText(setting::kDataFolder, Folder());
        platform::AppSettings().WriteText(setting::kDownloadFolder, Folder() + "\\Downloads");
        app::CVarnelDlg::Callbacks().runProgram = [this](const std::string& program, const std::string& argument) {
            started_.push_back(program + " " + argument);
        };
        frame_ = std::make_unique<app::CMainEvents>(GetModuleHandleA(nullptr));
        frame_->interactive = true;
        ASSERT_TRUE(frame_->Create());
        frame_->Commands()->openPage = [this](const std::string& file, const std::string& arguments) {
            opened_.push_back(arguments.empty() ? file : file + " " + arguments);
            return file != refusedPage_;
        };
        frame_->Commands()->now = [this] { return clock_; };
        // A new frequency registers the computer again; here that is only
        // counted, so no contact with a service goes out of the test.
        app::CVarnelDlg::Callbacks().registerAgain = [this] { ++registrations_; };
    }
    void TearDown() override {
        app::CVarnelDlg::Close();
        app::CAboutDlg::Close();
        app::CErrorDlg::Close();
        frame_.reset();
        Pump(1);
        app::CVarnelDlg::Callbacks() = {};
        platform::InstallSettingsStore(nullptr);
    }
    std::string Folder() const { return folder_.path().string(); }
    void Command(unsigned id) { SendMessageA(frame_->Window(), WM_COMMAND, id, 0); }

    testing_support::TempFolder folder_;
    std::unique_ptr<app::CMainEvents> frame_;
    std::vector<std::string> opened_;
    std::string refusedPage_;  // the page opener answers false for this one
    std::vector<std::string> started_;
    uint64_t clock_ = 1000000;
    int registrations_ = 0;
};

TEST_F(Windows, TheSettingsSheetShowsEachPageOnceAndStoresWhatIsApplied) {
    platform::Settings& settings = platform::AppSettings();
    settings.WriteNumber(setting::kLastActivePage, 1);
    Command(ID_SETTINGS);
    const HWND sheet = app::CVarnelDlg::Window();
    ASSERT_NE(sheet, nullptr);
    Command(ID_OPTIONS);
    EXPECT_EQ(app::CVarnelDlg::Window(), sheet) << "one sheet at a time";
    EXPECT_EQ(Text(sheet), "Zelto Varnel Settings");
    // The frame that owns it is hidden: the sheet has a taskbar button.
    EXPECT_TRUE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    HWND tabs = PropSheet_GetTabControl(sheet);
    EXPECT_EQ(TabCtrl_GetItemCount(tabs), 5);
    EXPECT_EQ(PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet)), 1) << "the remembered page";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDHELP)));

    const char* names[] = {"general", "automatic_update", "system_info", "watch_list", "download"};
    for (int i = 0; i < 5; ++i) {
        PropSheet_SetCurSel(sheet, nullptr, i);
        Screenshot(sheet, std::string("settings_") + names[i]);
    }

    // "General": usage data is stored and told to Faultwick at once; the
    // frequency waits for Apply, then also reaches the frame's schedule.
    PropSheet_SetCurSel(sheet, nullptr, 0);
    Pump();
    const HWND general = PropSheet_GetCurrentPageHwnd(sheet);
    SendDlgItemMessageA(general, IDC_TRACK_USAGE, BM_CLICK, 0, 0);
    EXPECT_FALSE(settings.ReadFlag(setting::kTrackApplicationUsage, true));
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_NE(started_[0].find("\\Faultwick.exe /off"), std::string::npos) << started_[0];
    const bool pulse = settings.ReadFlag(setting::kPulseIcon, setting::kPulseIconDefault);
    SendDlgItemMessageA(general, IDC_ANIMATE_ICON, BM_CLICK, 0, 0);
    EXPECT_EQ(settings.ReadFlag(setting::kPulseIcon, pulse), !pulse) << "the animated icon is kept at once";
    SendDlgItemMessageA(general, IDC_FREQUENCY, CB_SETCURSEL, 3, 0);
    SendMessageA(general, WM_COMMAND, MAKEWPARAM(IDC_FREQUENCY, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(general, IDC_FREQUENCY)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet, 0x3021))) << "Apply is enabled once the page differs";
    CheckRadioButton(general, IDC_SCAN_ON_START_YES, IDC_SCAN_ON_START_NO, IDC_SCAN_ON_START_NO);

    PropSheet_SetCurSel(sheet, nullptr, 1);
    Pump();
    const HWND update = PropSheet_GetCurrentPageHwnd(sheet);
    CheckRadioButton(update, IDC_AU_AUTOMATIC, IDC_AU_MANUAL, IDC_AU_MANUAL);

    PropSheet_Apply(sheet);
    Pump();
    EXPECT_EQ(settings.ReadNumber(setting::kCheckForUpdates, 99), 3u);
    EXPECT_EQ(frame_->Schedule().frequency, 3u);
    EXPECT_EQ(registrations_, 1) << "a new frequency registers the computer again";
    EXPECT_EQ(settings.ReadNumber(setting::kScanOnStartup, 99), 0u);
    EXPECT_EQ(settings.ReadNumber(setting::kAutoupdateMode, 99), 0u);

    // Closing from the title bar stores the page; the preference file is
    // written when the sheet goes.
    SendMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(settings.ReadNumber(setting::kLastActivePage, 99), 1u);
    EXPECT_EQ(app::CVarnelDlg::Window(), nullptr);
    std::ifstream prefs(folder_.path() / "VNPrefs.ini");
    std::stringstream text;
    text << prefs.rdbuf();
    EXPECT_NE(text.str().find("Track Application Usage=false"), std::string::npos) << text.str();
}

TEST_F(Windows, TheDownloadManagerCommandShowsItsWindowAndItsOptionsOpenTheSettings) {
    ASSERT_NE(frame_->Downloads(), nullptr);
    const HWND downloads = frame_->Downloads()->Window();
    ASSERT_NE(downloads, nullptr);
    EXPECT_FALSE(IsWindowVisible(downloads)) << "created hidden";
    Command(ID_DOWNLOAD_MANAGER);
    EXPECT_TRUE(IsWindowVisible(downloads));
    ASSERT_TRUE(frame_->Downloads()->showOptions);
    frame_->Downloads()->showOptions();
    EXPECT_NE(app::CVarnelDlg::Window(), nullptr);
    SendMessageA(app::CVarnelDlg::Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    // Esc hides it, as in a dialog box.
    SetForegroundWindow(downloads);
    SetFocus(GetDlgItem(downloads, IDC_DL_LIST));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_FALSE(IsWindowVisible(downloads)) << "Esc left the window open";
    ShowWindow(downloads, SW_HIDE);
}

TEST_F(Windows, TheDownloadPageKeepsRetriesBetweenOneAndNine) {
    Command(ID_SETTINGS);
    const HWND sheet = app::CVarnelDlg::Window();
    ASSERT_NE(sheet, nullptr);
    PropSheet_SetCurSel(sheet, nullptr, 4);
    Pump();
    const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_DL_SPIN, UDM_GETPOS32, 0, 0), 1);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_DL_RETRIES, EM_GETLIMITTEXT, 0, 0), 1) << "one character";
    SendDlgItemMessageA(page, IDC_DL_SPIN, UDM_SETPOS32, 0, 20);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_DL_SPIN, UDM_GETPOS32, 0, 0), 9);
    SetDlgItemTextA(page, IDC_DL_RETRIES, "7");
    PropSheet_Apply(sheet);
    Pump();
    EXPECT_EQ(platform::AppSettings().ReadNumber(setting::kDownloadRetries, 0), 7u);
}

TEST_F(Windows, TheAboutBoxShowsTheVersionAndItsImage) {
    Command(ID_ABOUT_TRAY);
    const HWND about = app::CAboutDlg::Window();
    ASSERT_NE(about, nullptr);
    Command(ID_ABOUT);
    EXPECT_EQ(app::CAboutDlg::Window(), about);
    EXPECT_TRUE(GetWindowLongA(about, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(SendMessageA(about, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(Text(GetDlgItem(about, IDC_ABOUT_VERSION)), "Version 1.3.1 (Build 55)");
    EXPECT_NE(Text(GetDlgItem(about, IDC_ABOUT_RIGHTS)), "");
    Screenshot(about, "about_box");
    // The image's centre (48 x 48 at 8, 12) is the disc's blue, not the
    // dialog's grey.
    HDC dc = GetDC(about);
    const COLORREF centre = GetPixel(dc, 8 + 8, 12 + 24);
    ReleaseDC(about, dc);
    EXPECT_GT(GetBValue(centre), GetRValue(centre) + 60) << std::hex << centre;
}

TEST_F(Windows, TheErrorWindowOpensAClickedLinkAndANewTextReplacesTheOld) {
    std::vector<std::string> links;
    auto previous = app::CErrorDlg::LinkOpener();
    app::CErrorDlg::LinkOpener() = [&](const std::string& link) { links.push_back(link); };
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), frame_->Window(), "First text");
    const HWND window = app::CErrorDlg::Window();
    ASSERT_NE(window, nullptr);
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), frame_->Window(),
                         "Account is unconfirmed\nGo to this web address:\nhttps://www.zelto.example/confirm?id=7");
    EXPECT_EQ(app::CErrorDlg::Window(), window) << "one window";
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    const HWND edit = GetDlgItem(window, IDC_ERROR_TEXT);
    EXPECT_EQ(Text(edit).find("First"), std::string::npos);
    Screenshot(window, "error_window");

    // A click on the link: where its first characters are drawn.
    const auto click = [edit](int at) {
        POINTL point{};
        SendMessageA(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), at);
        const LPARAM where = MAKELPARAM(point.x + 2, point.y + 4);
        SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageA(edit, WM_LBUTTONUP, 0, where);
        Pump();
    };
    click(static_cast<int>(GetWindowTextLengthA(edit)) - 10);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0], "https://www.zelto.example/confirm?id=7");

    // Detection also marks a file as a link; it is not opened.
    const std::string withFile = "See file:///C:/Windows/notepad.exe now";
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), frame_->Window(), withFile);
    click(static_cast<int>(withFile.find("file:")) + 3);
    app::CErrorDlg::LinkOpener() = previous;
    EXPECT_EQ(links.size(), 1u) << links.back();
}

TEST_F(Windows, TheErrorWindowsTextIsReachedWithTabAndEnterOpensTheLinkAtTheCaret) {
    std::vector<std::string> links;
    auto previous = app::CErrorDlg::LinkOpener();
    app::CErrorDlg::LinkOpener() = [&](const std::string& link) { links.push_back(link); };
    const std::string text = "Visit https://zelto.example/help?q=1 for help.";
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), frame_->Window(), text);
    const HWND window = app::CErrorDlg::Window();
    ASSERT_NE(window, nullptr);
    const HWND edit = GetDlgItem(window, IDC_ERROR_TEXT);
    const HWND ok = GetDlgItem(window, IDOK);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
    const auto key = [](HWND target, WPARAM code) {
        PostMessageA(target, WM_KEYDOWN, code, 1);
        PostMessageA(target, WM_KEYUP, code, 0xC0000001);
        Pump();
    };
    // Tab goes from OK to the text and back: the text does not keep it.
    SetFocus(ok);
    key(ok, VK_TAB);
    EXPECT_EQ(GetFocus(), edit);
    key(edit, VK_TAB);
    EXPECT_EQ(GetFocus(), ok);

    // Enter with the caret inside the link opens the whole link and leaves
    // the window open; elsewhere it presses OK.
    SetFocus(edit);
    const LONG inside = static_cast<LONG>(text.find("example"));
    SendMessageA(edit, EM_SETSEL, inside, inside);
    key(edit, VK_RETURN);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0], "https://zelto.example/help?q=1");
    EXPECT_EQ(app::CErrorDlg::Window(), window);
    CHARRANGE kept{};
    SendMessageA(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    EXPECT_EQ(kept.cpMin, inside) << "the caret stays where it was";
    SendMessageA(edit, EM_SETSEL, 1, 1);
    key(edit, VK_RETURN);
    EXPECT_EQ(links.size(), 1u);
    EXPECT_EQ(app::CErrorDlg::Window(), nullptr) << "Enter outside a link is OK";
    app::CErrorDlg::LinkOpener() = previous;
}

TEST_F(Windows, PageCommandsOpenTheirAddressesAndMyPageOnlyOnceInFiveSeconds) {
    platform::Settings& settings = platform::AppSettings();
    settings.WriteText(setting::kHomePageUrl, "https://home.example/me?x=1");
    Command(ID_MY_PAGE);
    clock_ += 3000;
    Command(ID_MY_PAGE);
    clock_ += 2000;
    Command(ID_UPDATE_NAME_FIRST + 2);
    Command(ID_ONLINE_HELP);
    Command(ID_WINDOWS_UPDATE);
    EXPECT_EQ(opened_, (std::vector<std::string>{
                           "https://home.example/me?x=1&tag=client", "https://home.example/me?x=1&tag=client",
                           platform::LoadText(setting::kOnlineFaqsUrlDefaultId), "ms-settings:windowsupdate"}));

    // A system without the Settings page's address (as Wine is) gets the site.
    EXPECT_FALSE(app::CFrameCommands::ShellOpen("ms-settings:windowsupdate", ""));
    refusedPage_ = "ms-settings:windowsupdate";
    opened_.clear();
    Command(ID_WINDOWS_UPDATE);
    EXPECT_EQ(opened_, (std::vector<std::string>{"ms-settings:windowsupdate",
                                                 "explorer.exe https://windowsupdate.microsoft.com/"}));

    // Addresses set by the service that are not web pages are not opened.
    opened_.clear();
    clock_ += 10000;
    settings.WriteText(setting::kHomePageUrl, "file:///C:/Windows/system32/calc.exe");
    settings.WriteText(setting::kOnlineFaqsUrl, "C:\\Windows\\notepad.exe");
    Command(ID_MY_PAGE);
    Command(ID_ONLINE_HELP);
    EXPECT_TRUE(opened_.empty()) << opened_[0];
}

TEST_F(Windows, TheToolbarCommandTogglesAndStoresItsStateAndMenusFollowTheRules) {
    app::CFrameCommands& commands = *frame_->Commands();
    ASSERT_NE(commands.Toolbar(), nullptr);
    EXPECT_TRUE(commands.ToolbarVisible());
    Command(ID_VIEW_TOOLBAR);
    EXPECT_FALSE(commands.ToolbarVisible());
    EXPECT_FALSE(platform::AppSettings().ReadFlag(setting::kViewToolbar, true));
    EXPECT_EQ(commands.CurrentView(), static_cast<unsigned>(ID_VIEW_DRIVERS)) << "the default view";
    Command(ID_VIEW_DAILY);
    EXPECT_EQ(Text(frame_->Window()), "Zelto Varnel Today's Updates - Zelto Varnel");

    HMENU file = GetSubMenu(GetMenu(frame_->Window()), 0);
    HMENU view = GetSubMenu(GetMenu(frame_->Window()), 1);
    SendMessageA(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    SendMessageA(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
    EXPECT_FALSE(GetMenuState(file, ID_SCAN_AND_CHECK, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(file, ID_STOP_CHECKING, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(file, ID_CHECK_ONLY, MF_BYCOMMAND) & MF_GRAYED) << "both lists are empty";
    EXPECT_TRUE(GetMenuState(view, ID_VIEW_DAILY, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(view, ID_VIEW_TOOLBAR, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(view, ID_LA_UNTRACKED, MF_BYCOMMAND) & MF_GRAYED)
        << "today's updates has no untracked items";
}

}  // namespace
