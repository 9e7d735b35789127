// The main window as a user would see it if it were shown: the task pane
// with the lists' counters, the software view filled from the watch list,
// the preview of the selected item, and the splitter bars dragged with the
// mouse messages a user's drag sends. The sizes are read back from the real
// child windows. Saves build/screenshots/main_window.png. Needs the virtual
// display.
#include <gtest/gtest.h>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

#include "app/app_messages.h"
#include "app/error_dialog.h"
#include "app/main_events.h"
#include "common/frame_fixture.h"
#include "inventory/driver_data.h"
#include "inventory/driver_item.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "registry_guard.h"
#include "resource.h"
#include "views/preview_page.h"
#include "views/win/search_view.h"

namespace {

using testing_ui::Pump;

RECT InFrame(HWND frame, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int ClientHeight(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r.bottom - r.top;
}

class MainWindow : public testing_ui::FrameTest {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        FrameTest::SetUp();
    }
    void FillLists() {
        struct Program {
            const char* name;
            const char* mine;
            const char* current;
            const char* product;
            bool update;
        } programs[] = {
            {"7-Zip 9.20", "9.20", "19.00", "P7ZIP", true},
            {"Mozilla Firefox (3.6.13)", "3.6.13", "3.6.13", "PFIREFOX", false},
            {"Notepad++", "5.8.6", "7.8.1", "PNOTEPADPP", true},
            {"VLC media player 1.1.5", "1.1.5", "1.1.5", "PVLC", false},
            {"WinRAR archiver", "3.93", "3.93", "", false},
        };
        for (const Program& p : programs) {
            auto item = std::make_unique<VN_WatchItem>();
            item->SetProgName(p.name);
            item->myVersion = p.mine;
            item->SetCurrentVers(p.current);
            item->groupCurrentCount = 1;
            item->productId = p.product;
            item->updateAvailable = p.update;
            item->outdated = p.update;
            frame_->WatchList()->AddTail(std::move(item));
        }
        // One the user removed: not counted.
        auto removed = std::make_unique<VN_WatchItem>();
        removed->SetProgName("Removed Tool");
        removed->removed = item_state::kRemovedByUser;
        frame_->WatchList()->AddTail(std::move(removed));
        for (const char* name : {"Standard VGA Graphics Adapter", "High Definition Audio Device"}) {
            auto driver = std::make_unique<VN_DriverItem>();
            driver->deviceClass = "Display";
            driver->driverDesc = name;
            driver->SetCurrentVers("1.0");
            driver->groupCurrentCount = 1;
            frame_->DriverList()->AddTail(std::move(driver));
        }
        frame_->DriverList()->GetDriverAt(0)->updateAvailable = true;
    }
    void Show(int width, int height) {
        SetWindowPos(frame_->Window(), HWND_TOP, 10, 10, width, height, SWP_SHOWWINDOW);
        Pump(5);
    }
    // The space below the toolbar and above the status bar, in client coordinates.
    RECT FreeArea() {
        RECT area{};
        GetClientRect(frame_->Window(), &area);
        const HWND toolbar = frame_->Commands()->Toolbar();
        if (IsWindowVisible(toolbar)) area.top = InFrame(frame_->Window(), toolbar).bottom;
        area.bottom = InFrame(frame_->Window(), frame_->StatusBar().Window()).top;
        return area;
    }
    HWND List() { return frame_->CurrentView()->Host(); }
    HWND Preview() { return frame_->PreviewPane().Window(); }
    HWND Task() { return frame_->TaskPane().Window(); }
    void Select(int row) {
        LVITEMA state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(frame_->CurrentView()->List(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        Pump(3);
    }
    // A drag of the frame's own surface from one point to another, as the
    // mouse reports it.
    void Drag(POINT from, POINT to) {
        const HWND w = frame_->Window();
        SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((from.x + to.x) / 2, (from.y + to.y) / 2));
        SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        Pump(2);
    }
    void Screenshot(const std::string& name) {
        SetForegroundWindow(frame_->Window());
        RedrawWindow(frame_->Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(10);
        testing_ui::SaveScreenshot(frame_->Window(), name);
    }
};

TEST_F(MainWindow, TaskPaneListAndPreviewFollowTheSizingRulesAndTheBars) {
    CreateFrame();
    FillLists();
    // A cached product page for the first row's product.
    platform::CreateDirectories(platform::TempHtmlFolder());
    ASSERT_TRUE(platform::WriteFileAtomically(
        Views::PreviewPagePath("P7ZIP"),
        "<html><head><title>x</title><style>p{}</style></head><body><h1>7-Zip 19.00</h1>"
        "<p>File archiver with a high compression ratio.</p><ul><li>Publisher: Igor Pavlov</li>"
        "<li>License: Free &amp; open source</li></ul></body></html>"));
    frame_->FinishStartup();
    Command(ID_VIEW_SOFTWARE);
    Show(900, 620);

    EXPECT_EQ(frame_->TaskPane().Text(),
              "Installed Software\n5 items, 2 out of date\nInstalled Drivers\n2 items, 1 out of date");

    // Task pane column 204 wide, then the bar, then the list above the preview.
    const HWND w = frame_->Window();
    const RECT area = FreeArea();
    const int column = area.bottom - area.top;
    const RECT task = InFrame(w, Task());
    RECT list = InFrame(w, List());
    RECT preview = InFrame(w, Preview());
    EXPECT_EQ(task.right - task.left, 204);
    EXPECT_EQ(task.top, area.top);
    EXPECT_EQ(list.top, area.top);
    EXPECT_EQ(preview.bottom, area.bottom);
    EXPECT_GT(list.left, task.right);
    // No stored preview height: 30% of the column as first shown (kept
    // from then on); the list row gets the rest less 11.
    EXPECT_EQ(ClientHeight(Preview()), column * 30 / 100);
    EXPECT_EQ(list.bottom - list.top, column - column * 30 / 100 - 11);

    // The preview shows the selected item with its cached page as text.
    EXPECT_NE(frame_->PreviewPane().Text().find("Select an item"), std::string::npos);
    Select(0);
    std::string shown = frame_->PreviewPane().Text();
    EXPECT_EQ(shown.rfind("7-Zip 9.20\r", 0), 0u) << shown;
    EXPECT_NE(shown.find("An update is available."), std::string::npos) << shown;
    EXPECT_NE(shown.find("File archiver with a high compression ratio."), std::string::npos) << shown;
    EXPECT_NE(shown.find("- License: Free & open source"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("p{}"), std::string::npos) << "no style sheet text";
    Screenshot("main_window");

    // Skipping the selected item's version: the task pane counts one less.
    Command(ID_LA_SKIP);
    EXPECT_EQ(frame_->TaskPane().Text(),
              "Installed Software\n5 items, 1 out of date\nInstalled Drivers\n2 items, 1 out of date");
    Command(ID_LA_UNSKIP);
    EXPECT_EQ(frame_->TaskPane().Text(),
              "Installed Software\n5 items, 2 out of date\nInstalled Drivers\n2 items, 1 out of date");

    // A page written anew is shown when its notice arrives.
    ASSERT_TRUE(platform::WriteFileAtomically(Views::PreviewPagePath("P7ZIP"), "<p>Version 19.00 is out.</p>"));
    PostMessageA(w, app::Messages().htmlCreated, 0, 0);
    Pump(3);
    EXPECT_NE(frame_->PreviewPane().Text().find("Version 19.00 is out."), std::string::npos);

    // Dragging the row bar 100 pixels up: the list loses them, the preview gains them.
    const int listHeight = list.bottom - list.top;
    const int previewHeight = ClientHeight(Preview());
    const int barX = (list.left + list.right) / 2;
    Drag({barX, list.bottom + 3}, {barX, list.bottom + 3 - 100});
    list = InFrame(w, List());
    EXPECT_EQ(list.bottom - list.top, listHeight - 100);
    EXPECT_EQ(ClientHeight(Preview()), previewHeight + 100);
    EXPECT_EQ(InFrame(w, Preview()).bottom, area.bottom);

    // A taller window: the preview keeps its height, the list takes the rest.
    Show(900, 700);
    const RECT taller = FreeArea();
    list = InFrame(w, List());
    EXPECT_EQ(ClientHeight(Preview()), previewHeight + 100);
    EXPECT_EQ(list.bottom - list.top, (taller.bottom - taller.top) - (previewHeight + 100) - 11);

    // Dragging the column bar 60 pixels right widens the task pane.
    Drag({task.right + 3, area.top + 50}, {task.right + 63, area.top + 50});
    EXPECT_EQ(InFrame(w, Task()).right - InFrame(w, Task()).left, 264);
    EXPECT_EQ(InFrame(w, List()).left, 264 + 7);

    // A column one pixel taller than the preview + 21: the list row gets 11.
    const int kept = previewHeight + 100;
    const RECT frameRect = [&] {
        RECT r{};
        GetWindowRect(w, &r);
        return r;
    }();
    const int chrome = (frameRect.bottom - frameRect.top) - (taller.bottom - taller.top);
    Show(900, chrome + kept + 22);
    ASSERT_EQ(FreeArea().bottom - FreeArea().top, kept + 22);
    EXPECT_EQ(InFrame(w, List()).bottom - InFrame(w, List()).top, 11);
    EXPECT_EQ(ClientHeight(Preview()), kept);
    // Lower still: nothing is recalculated (the rows keep their sizes, the
    // preview is cut at the bottom).
    Show(900, chrome + kept + 5);
    EXPECT_EQ(frame_->Splitter().listHeight, 11);
    EXPECT_EQ(frame_->Splitter().previewHeight, kept);
    EXPECT_EQ(InFrame(w, List()).bottom - InFrame(w, List()).top, 11);
    ShowWindow(w, SW_HIDE);
}

TEST_F(MainWindow, StoredPreviewHeightAndTheToolbarToggle) {
    platform::AppSettings().WriteNumber(setting::kPreviewPaneCy, 120);
    CreateFrame();
    FillLists();
    Command(ID_VIEW_SOFTWARE);
    Show(800, 560);
    const HWND w = frame_->Window();
    // The counters follow a view change and a scan's new item.
    EXPECT_EQ(frame_->TaskPane().Text().substr(0, 41), "Installed Software\n5 items, 2 out of date");
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName("GIMP 2.6");
    item->updateAvailable = true;
    frame_->WatchList()->AddTail(std::move(item));
    SendMessageA(w, app::Messages().updateItem, 0, 0);
    EXPECT_EQ(frame_->TaskPane().Text().substr(0, 41), "Installed Software\n6 items, 3 out of date");
    EXPECT_EQ(ClientHeight(Preview()), 120);
    const RECT withBar = InFrame(w, List());
    ASSERT_TRUE(IsWindowVisible(frame_->Commands()->Toolbar()));
    Command(ID_VIEW_TOOLBAR);
    Pump(2);
    EXPECT_FALSE(IsWindowVisible(frame_->Commands()->Toolbar()));
    const RECT area = FreeArea();
    const RECT withoutBar = InFrame(w, List());
    EXPECT_EQ(withoutBar.top, area.top);
    EXPECT_LT(withoutBar.top, withBar.top);
    EXPECT_EQ(ClientHeight(Preview()), 120) << "the preview keeps its height";
    EXPECT_EQ(withoutBar.bottom - withoutBar.top, (area.bottom - area.top) - 120 - 11);
    EXPECT_EQ(platform::AppSettings().ReadNumber(setting::kViewToolbar, 1), 0u);
    ShowWindow(w, SW_HIDE);
}

// The colour drawn at a point of a window's client area near its bottom right.
COLORREF PixelNearCorner(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(3);
    RECT r{};
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, r.right - 6, r.bottom - 4);
    ReleaseDC(window, dc);
    return colour;
}

TEST_F(MainWindow, NewSystemColoursReachTheListThePreviewAndTheErrorWindow) {
    CreateFrame();
    FillLists();
    Command(ID_VIEW_SOFTWARE);
    Show(800, 560);
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), frame_->Window(), "Text");
    const HWND error = GetDlgItem(app::CErrorDlg::Window(), IDC_ERROR_TEXT);
    const HWND list = frame_->CurrentView()->List();
    const COLORREF window = RGB(250, 240, 200), face = RGB(200, 230, 250);
    const int elements[] = {COLOR_WINDOW, COLOR_BTNFACE};
    const COLORREF before[] = {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE)};
    const COLORREF after[] = {window, face};
    ASSERT_TRUE(SetSysColors(2, elements, after));  // sends WM_SYSCOLORCHANGE to the top-level windows
    Pump(5);
    const COLORREF listColour = PixelNearCorner(list), previewColour = PixelNearCorner(Preview()),
                   errorColour = PixelNearCorner(error);
    SetSysColors(2, elements, before);
    Pump(5);
    app::CErrorDlg::Close();
    ShowWindow(frame_->Window(), SW_HIDE);
    EXPECT_EQ(listColour, window) << std::hex << listColour;
    EXPECT_EQ(previewColour, window) << std::hex << previewColour;
    EXPECT_EQ(errorColour, face) << std::hex << errorColour;
}

TEST_F(MainWindow, TheKeyboardGoesToTheShownListAndTheTaskPaneSaysItsCounters) {
    CreateFrame();
    FillLists();
    Command(ID_VIEW_SOFTWARE);
    Show(800, 560);
    const HWND w = frame_->Window();
    SetForegroundWindow(w);
    SetFocus(w);
    Pump(3);
    EXPECT_EQ(GetFocus(), frame_->CurrentView()->List()) << "the frame passes the keyboard on";
    Command(ID_VIEW_DRIVERS);
    EXPECT_EQ(GetFocus(), frame_->CurrentView()->List()) << "a view shown takes the keyboard";
    // The search view's keyboard goes to its box, where the keywords are typed.
    Command(ID_VIEW_SEARCH);
    const auto* search = dynamic_cast<Views::CSearchView*>(frame_->CurrentView());
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(GetFocus(), search->SearchBox());
    Command(ID_VIEW_DRIVERS);
    // After another window had the keyboard, activation brings it back.
    app::CErrorDlg::Show(GetModuleHandleA(nullptr), w, "Text");
    Pump(3);
    app::CErrorDlg::Close();
    SetForegroundWindow(w);
    Pump(3);
    EXPECT_EQ(GetFocus(), frame_->CurrentView()->List());
    char spoken[256] = {};
    GetWindowTextA(Task(), spoken, sizeof spoken);
    EXPECT_STREQ(spoken, "Installed Software. 5 items, 2 out of date. Installed Drivers. 2 items, 1 out of date");
    ShowWindow(w, SW_HIDE);
}

TEST_F(MainWindow, ExitStopsEverythingOnceAndEndsTheLoop) {
    CreateFrame();
    frame_->FinishStartup();
    const HWND w = frame_->Window();
    EXPECT_EQ(SendMessageA(w, WM_APP + 1, 0, 0), 0);
    frame_->Exit();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(frame_->Window(), nullptr);
    EXPECT_FALSE(frame_->Tray().IsShown());
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) quit = true;
    EXPECT_TRUE(quit);
    frame_->Exit();  // the second time does nothing
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
