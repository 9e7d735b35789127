// The list actions of the item views under Wine, each on a real item of the
// frame's real lists: Uninstall runs the stand-in uninstaller on a thread of
// its own against a real uninstall entry, Properties opens its window, Add to
// my Watch List makes a program the user's own or adds a real program file,
// Reset keeps only the user's programs, the item context menu is built from
// the menu resources and drawn, and drivers the search found gone are deleted
// when the worker's end-of-search message reaches the frame. Needs the
// virtual display.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

#include "app/app_messages.h"
#include "app/main_events.h"
#include "common/frame_fixture.h"
#include "common/wine.h"
#include "engine/worker_posts.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"
#include "resource.h"
#include "scanners/products.h"
#include "screen_png.h"
#include "views/win/item_feedback_dlg.h"
#include "views/win/item_properties.h"
#include "views/win/item_views.h"
#include "views/win/uninstall_runner.h"

namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

using testing_ui::Pump;
using testing_ui::PumpUntil;

// An uninstall entry of the test's own under the user's key, deleted at the end.
struct UninstallEntry {
    explicit UninstallEntry(const std::string& name)
        : key("VarnelViewTest-" + std::to_string(GetCurrentProcessId()) + "-" + name) {}
    ~UninstallEntry() { RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kUninstallKey) + key).c_str()); }
    void Write(const std::string& displayName, const std::string& command) const {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kUninstallKey) + key).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(k, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(displayName.c_str()),
                       static_cast<DWORD>(displayName.size() + 1));
        RegSetValueExA(k, "UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(k);
    }
    bool Exists() const {
        return testing_app::KeyExists(HKEY_CURRENT_USER, (std::string(kUninstallKey) + key).c_str());
    }
    std::string key;
};

VN_WatchItem* AddProgram(VN_WatchList& list, const std::string& name, const std::string& current) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName(name);
    item->executableName = name + ".exe";
    item->installedVers = "1.0";
    item->SetCurrentVers(current);
    item->groupCurrentCount = current.empty() ? 0 : 1;
    return static_cast<VN_WatchItem*>(list.AddTail(std::move(item)));
}

std::vector<std::string> Names(HWND list, int column = 0) {
    std::vector<std::string> names;
    const int count = testing_ui::RowCount(list);
    for (int row = 0; row < count; ++row) names.push_back(testing_ui::CellText(list, row, column));
    return names;
}

void SelectRow(HWND list, const std::string& name) {
    const std::vector<std::string> names = Names(list);
    for (size_t row = 0; row < names.size(); ++row) {
        if (names[row] != name) continue;
        LVITEMA select{};
        select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&select));
        return;
    }
    ADD_FAILURE() << "no row " << name;
}

// What the open context menu showed, read from its window by a timer.
std::vector<std::pair<std::string, UINT>> g_menu;
std::string g_menuShot;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND window = FindWindowA("#32768", nullptr);
    if (!window || !IsWindowVisible(window)) return;
    KillTimer(nullptr, timer);
    const HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    g_menu.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        g_menu.emplace_back(text, GetMenuState(menu, i, MF_BYPOSITION));
    }
    if (!g_menuShot.empty()) {
        RECT r{};
        GetWindowRect(window, &r);
        testing_app::SaveScreenPng(r, g_menuShot);
    }
    EndMenu();
}

class ListActions : public testing_ui::FrameTest {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        FrameTest::SetUp();
        CreateFrame();
    }
    void TearDown() override {
        Views::CItemPropertiesWnd::Close();
        frame_.reset();
        Pump(1);
        vnlog::Close();
        FrameTest::TearDown();
    }
    Views::CWatchListView& SoftwareView() {
        Command(ID_VIEW_SOFTWARE);
        auto* view = dynamic_cast<Views::CWatchListView*>(frame_->CurrentView());
        EXPECT_NE(view, nullptr);
        return *view;
    }
    // The state of a list action as the frame's menus show it.
    UINT MenuState(unsigned id) {
        HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_SOFTWARE_MENU));
        HMENU popup = GetSubMenu(menu, 0);
        InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING, id, "probe");
        SendMessageA(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
        const UINT state = GetMenuState(popup, 0, MF_BYPOSITION);
        DestroyMenu(menu);
        return state;
    }
    std::string Database() const { return folder_.path().string() + "\\varnel.db"; }
};

TEST_F(ListActions, UninstallRunsOffTheWindowThreadAndMarksTheProductGone) {
    const std::string uninstaller = testing_wine::WindowsPathOf(VARNEL_UNINSTALLER_FIXTURE);
    UninstallEntry removable("Removable");
    // As most uninstallers do, this one hands the work to a copy of itself
    // and exits at once; the copy stays a minute after removing the entry.
    removable.Write("Removable Program", "\"" + uninstaller + "\" --launch 1500 60000 \"" + std::string(kUninstallKey) +
                                             removable.key + "\"");
    UninstallEntry broken("Broken");
    broken.Write("Broken Program", "C:\\no\\such\\uninstaller.exe /S");
    const std::string logPath = folder_.path().string() + "\\vnlog.txt";
    vnlog::Open(logPath);

    VN_WatchList& watch = *frame_->WatchList();
    // The items as the product scanner makes them from the entries.
    RegScan::VN_AllProducts products(&watch);
    ASSERT_FALSE(products.Fill());
    VN_WatchItem* item = nullptr;
    VN_WatchItem* stubborn = nullptr;
    for (VN_WatchItem* entry : watch.WatchItems()) {
        if (entry->keyName == removable.key) item = entry;
        if (entry->keyName == broken.key) stubborn = entry;
        entry->SetCurrentVers("1.0");  // tracked, so that the view shows them
        entry->groupCurrentCount = 1;
    }
    ASSERT_NE(item, nullptr);
    ASSERT_NE(stubborn, nullptr);
    Views::CWatchListView& view = SoftwareView();
    view.Reload();
    int finished = 0;
    bool lastGone = false;
    view.uninstallFinished = [&](bool gone) {
        ++finished;
        lastGone = gone;
    };

    SelectRow(view.List(), item->GetDisplayName(true));
    EXPECT_FALSE(MenuState(ID_LA_UNINSTALL) & MF_GRAYED);
    Command(ID_LA_UNINSTALL);
    // The command came back while the uninstaller runs: the item is marked
    // only when its end reaches the window, and a second uninstall waits.
    EXPECT_TRUE(Views::CUninstallRunner::Busy());
    EXPECT_EQ(item->removed, item_state::kPresent);
    EXPECT_TRUE(MenuState(ID_LA_UNINSTALL) & MF_GRAYED);
    // The end comes once the entry is gone, long before the copy's.
    ASSERT_TRUE(PumpUntil([&] { return finished == 1; }, 15000));
    testing_wine::EndProcessesNamed(L"fake_uninstaller.exe");
    EXPECT_TRUE(lastGone);
    EXPECT_FALSE(removable.Exists());
    EXPECT_EQ(item->removed, item_state::kGone);
    const std::vector<std::string> shown = Names(view.List());
    EXPECT_EQ(std::count(shown.begin(), shown.end(), item->GetDisplayName(true)), 0);
    // The list was saved with the item gone.
    {
        VN_WatchList reloaded(folder_.path().string());
        ASSERT_TRUE(reloaded.Load());
        bool found = false;
        for (VN_WatchItem* entry : reloaded.WatchItems())
            if (entry->keyName == removable.key) found = entry->removed == item_state::kGone;
        EXPECT_TRUE(found);
    }

    // An uninstaller that cannot start is logged; the product stays.
    SelectRow(view.List(), stubborn->GetDisplayName(true));
    Command(ID_LA_UNINSTALL);
    ASSERT_TRUE(PumpUntil([&] { return finished == 2; }));
    EXPECT_FALSE(lastGone);
    EXPECT_EQ(stubborn->removed, item_state::kPresent);
    vnlog::Close();
    const std::string log = platform::ReadWholeFile(logPath).value_or("");
    EXPECT_NE(log.find("*** ExeCommand failed: C:\\no\\such\\uninstaller.exe /S \tError: error "), std::string::npos)
        << log;
}

TEST_F(ListActions, PropertiesAddAndResetWorkOnTheWatchList) {
    VN_WatchList& watch = *frame_->WatchList();
    VN_WatchItem* tracked = AddProgram(watch, "Zip Tool", "2.0");
    tracked->targetName = "C:\\Program Files\\Zip Tool\\zt.exe";
    tracked->outdated = true;
    AddProgram(watch, "Quiet Helper", "");  // untracked: shown only with untracked items
    Views::CWatchListView& view = SoftwareView();
    EXPECT_TRUE(MenuState(ID_LA_PROPERTIES) & MF_GRAYED) << "no row selected";

    SelectRow(view.List(), "Zip Tool");
    Command(ID_LA_PROPERTIES);
    ASSERT_NE(Views::CItemPropertiesWnd::Window(), nullptr);
    const std::string text = Views::CItemPropertiesWnd::Text();
    EXPECT_NE(text.find("Name:\tZip Tool\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Status:\tUpdate available\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Program:\tC:\\Program Files\\Zip Tool\\zt.exe\r\n"), std::string::npos) << text;
    char title[128] = {};
    GetWindowTextA(Views::CItemPropertiesWnd::Window(), title, sizeof title);
    EXPECT_STREQ(title, "Zip Tool Properties");
    UpdateWindow(Views::CItemPropertiesWnd::Window());
    Pump(10);
    testing_ui::SaveScreenshot(Views::CItemPropertiesWnd::Window(), "item_properties");
    // Esc closes it, as in a dialog box.
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump(2);
    EXPECT_EQ(Views::CItemPropertiesWnd::Window(), nullptr) << "Esc left the window open";
    Views::CItemPropertiesWnd::Close();

    // The untracked program becomes the user's own and shows without
    // untracked items.
    Command(ID_LA_UNTRACKED);
    SelectRow(view.List(), "Quiet Helper");
    Command(ID_LA_ADD_WATCH);
    Command(ID_LA_UNTRACKED);
    EXPECT_EQ(Names(view.List()), (std::vector<std::string>{"Quiet Helper", "Zip Tool"}));

    // With no row selected, the user picks a program file.
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(view.List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    int asked = 0;
    view.pickProgramFile = [&asked] {
        ++asked;
        return testing_wine::WindowsPathOf(VARNEL_DEMO_PROGRAM);
    };
    Command(ID_LA_ADD_WATCH);
    EXPECT_EQ(asked, 1);
    size_t userItems = 0;
    for (VN_WatchItem* entry : watch.WatchItems()) userItems += entry->userAdded;
    EXPECT_EQ(userItems, 2u);
    EXPECT_EQ(watch.GetCount(), 3u);

    // Reset keeps the user's own programs only, and saves.
    EXPECT_FALSE(MenuState(ID_LA_RESET) & MF_GRAYED);
    Command(ID_LA_RESET);
    ASSERT_EQ(watch.GetCount(), 2u);
    for (VN_WatchItem* entry : watch.WatchItems()) EXPECT_TRUE(entry->userAdded) << entry->progName;
    VN_WatchList reloaded(folder_.path().string());
    ASSERT_TRUE(reloaded.Load());
    EXPECT_EQ(reloaded.GetCount(), 2u);
    EXPECT_EQ(Names(view.List()).size(), 2u);
}

TEST_F(ListActions, TheContextMenuPutsUninstallBeforeReportAndIsDrawn) {
    VN_WatchList& watch = *frame_->WatchList();
    VN_WatchItem* item = AddProgram(watch, "Zip Tool", "2.0");
    item->uninstallString = "\"C:\\Program Files\\Zip Tool\\unins.exe\"";
    item->outdated = true;
    Views::CWatchListView& view = SoftwareView();
    SetWindowPos(frame_->Window(), HWND_TOP, 20, 20, 640, 300, SWP_SHOWWINDOW);
    Pump(5);

    // A right click on the row opens the menu there.
    RECT row{};
    row.left = LVIR_LABEL;
    SendMessageA(view.List(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    POINT at{row.left + 40, (row.top + row.bottom) / 2};
    g_menuShot = "item_context_menu";
    g_menu.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, ReadOpenMenu);
    POINT screen = at;
    ClientToScreen(view.List(), &screen);
    LVITEMA select{};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(view.List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
    // What the list control sends its parent on a right click.
    SendMessageA(view.Host(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.List()), MAKELPARAM(screen.x, screen.y));
    KillTimer(nullptr, timer);
    EXPECT_EQ(view.SelectedItem(), item);
    Pump(2);
    ShowWindow(frame_->Window(), SW_HIDE);

    std::vector<std::string> texts;
    for (const auto& [text, state] : g_menu) texts.push_back(text);
    ASSERT_EQ(texts, (std::vector<std::string>{"&Download", "&Read More", "", "&Skip Version", "U&nskip Version", "",
                                               "&Add to my Watch List", "Re&move from my Watch List",
                                               "&Untracked Items", "", "&Find Target", "Uninstall", "",
                                               "Report an &Incorrect Item", "R&eset", "", "&Properties"}));
    // Enabled as the selected item allows.
    EXPECT_FALSE(g_menu[11].second & MF_GRAYED) << "Uninstall";
    EXPECT_FALSE(g_menu[3].second & MF_GRAYED) << "Skip Version";
    EXPECT_TRUE(g_menu[4].second & MF_GRAYED) << "Unskip Version";
    EXPECT_FALSE(g_menu[16].second & MF_GRAYED) << "Properties";
}

TEST_F(ListActions, DriversFoundGoneAreDeletedWhenTheSearchEndReachesTheWindow) {
    Views::CDriverData& drivers = *frame_->DriverList();
    for (const char* name : {"Network Adapter", "Old Webcam", "Audio Device"}) {
        auto driver = std::make_unique<VN_DriverItem>();
        driver->deviceClass = "Net";
        driver->driverDesc = name;
        driver->SetCurrentVers("1.0");
        driver->groupCurrentCount = 1;
        drivers.AddTail(std::move(driver));
    }
    Command(ID_VIEW_DRIVERS);
    frame_->CurrentView()->Reload();
    HWND list = frame_->CurrentView()->List();
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 3);
    // The search (on the worker) marked the webcam gone; the view no longer
    // shows it, but it stays in the list while the view may draw it.
    VN_DriverItem* webcam = drivers.GetDriverAt(1);
    webcam->driverFlag = false;
    webcam->removed = item_state::kGone;
    frame_->CurrentView()->Reload();
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(drivers.GetCount(), 3u);

    // The worker sends the end of the search and waits; the window deletes.
    std::atomic<int> answered{-1};
    std::thread worker([&answered] { answered = engine::SendEndDriverSearch() ? 1 : 0; });
    ASSERT_TRUE(PumpUntil([&] { return answered.load() >= 0; }));
    worker.join();
    EXPECT_EQ(answered.load(), 1);
    EXPECT_EQ(drivers.GetCount(), 2u);
    EXPECT_EQ(Names(list, 1), (std::vector<std::string>{"Network Adapter", "Audio Device"}));
}

TEST_F(ListActions, NoScanStartsWhileAReportWindowHoldsAnItem) {
    VN_WatchList& watch = *frame_->WatchList();
    VN_WatchItem* item = AddProgram(watch, "Zip Tool", "2.0");
    Views::CItemFeedbackDlg report(GetModuleHandleA(nullptr), *item);
    ASSERT_TRUE(report.Create(frame_->Window()));
    EXPECT_TRUE(Views::CItemFeedbackDlg::IsAnyOpen());
    // Scan Now from the tray, and the scheduled pass (which asks the same
    // question), wait until the window is closed.
    Command(ID_SCAN_NOW);
    EXPECT_FALSE(frame_->Worker()->IsWorkerRunning());
    DestroyWindow(report.Window());
    EXPECT_FALSE(Views::CItemFeedbackDlg::IsAnyOpen());
}

}  // namespace
