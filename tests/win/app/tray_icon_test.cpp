// The notification-area icon against Wine's real taskbar, with a shell in
// between that refuses adds while it is "not ready", as at logon.
#include <gtest/gtest.h>

#include "app/app_messages.h"
#include "app/tray_icon.h"

namespace {

// Refuses the first `g_refusals` adds; then answers the next `g_timeouts`
// adds with a failure after making them, as a shell that timed out does;
// then passes every call to the shell.
int g_refusals = 0;
int g_timeouts = 0;
int g_adds = 0;
BOOL WINAPI NotReadyShell(DWORD message, PNOTIFYICONDATAA data) {
    if (message == NIM_ADD) {
        ++g_adds;
        if (g_refusals > 0) {
            --g_refusals;
            return FALSE;
        }
        if (g_timeouts > 0) {
            --g_timeouts;
            Shell_NotifyIconA(message, data);
            return FALSE;
        }
    }
    return Shell_NotifyIconA(message, data);
}

app::CTrayIcon* g_tray = nullptr;

// A window that hands the tray's messages on as the main window does.
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_tray && message == app::Messages().taskbarCreated) {
        g_tray->Restore();
        return 0;
    }
    if (g_tray && message == WM_TIMER && wParam == app::CTrayIcon::kRetryTimer) {
        g_tray->OnRetryTimer();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Whether the taskbar holds the icon: it can update only an icon it has.
bool TaskbarHasIcon(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = app::CTrayIcon::kId;
    data.uFlags = NIF_TIP;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

class TrayIcon : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TrayWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VarnelTrayTest";
        RegisterClassA(&wc);
        window_ = CreateWindowA("VarnelTrayTest", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                                nullptr);
        ASSERT_NE(window_, nullptr);
        g_adds = 0;
        tray_.Attach(GetModuleHandleA(nullptr), window_, app::Messages().notification);
        g_tray = &tray_;
    }
    void TearDown() override {
        tray_.Remove();
        g_tray = nullptr;
        DestroyWindow(window_);
    }
    // Dispatches messages until the icon is shown or `ms` have passed.
    bool PumpUntilShown(DWORD ms) {
        const DWORD start = GetTickCount();
        while (!tray_.IsShown() && GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            Sleep(20);
        }
        return tray_.IsShown();
    }

    HWND window_ = nullptr;
    app::CTrayIcon tray_{NotReadyShell};
};

TEST_F(TrayIcon, RefusedAddIsMadeOnTaskbarCreated) {
    g_refusals = 1;
    EXPECT_FALSE(tray_.Show());
    EXPECT_TRUE(tray_.IsWanted());
    EXPECT_FALSE(tray_.IsShown());
    EXPECT_FALSE(TaskbarHasIcon(window_));

    SendMessageA(window_, app::Messages().taskbarCreated, 0, 0);
    EXPECT_TRUE(tray_.IsShown());
    EXPECT_TRUE(TaskbarHasIcon(window_));
    EXPECT_EQ(g_adds, 2);

    tray_.Remove();
    EXPECT_FALSE(tray_.IsWanted());
    EXPECT_FALSE(TaskbarHasIcon(window_));
    // An icon the user does not want is not brought back by a new taskbar.
    SendMessageA(window_, app::Messages().taskbarCreated, 0, 0);
    EXPECT_FALSE(TaskbarHasIcon(window_));
}

TEST_F(TrayIcon, AnAddThatFailsWithTheIconInPlaceCountsAsShown) {
    g_timeouts = 1;
    EXPECT_TRUE(tray_.Show());
    EXPECT_TRUE(TaskbarHasIcon(window_));
    // A new taskbar announced while the icon stays, as after a change of
    // display scaling: adding fails, and the icon is still the program's.
    SendMessageA(window_, app::Messages().taskbarCreated, 0, 0);
    EXPECT_TRUE(tray_.IsShown());
    EXPECT_EQ(g_adds, 2);
    tray_.Remove();
    EXPECT_FALSE(TaskbarHasIcon(window_));
}

TEST_F(TrayIcon, RefusedAddIsRetriedByTheTimer) {
    g_refusals = 1;
    EXPECT_FALSE(tray_.Show());
    // The first retry comes after two seconds.
    EXPECT_TRUE(PumpUntilShown(app::CTrayIcon::kFirstRetryDelayMs + 3000));
    EXPECT_TRUE(TaskbarHasIcon(window_));
    EXPECT_EQ(g_adds, 2);
}

TEST_F(TrayIcon, RetriesStopAfterTheLastTry) {
    g_refusals = 100;
    EXPECT_FALSE(tray_.Show());
    for (int i = 0; i < app::CTrayIcon::kRetries; ++i) {
        // The timer is pending before each try (killing it proves it was set).
        ASSERT_TRUE(KillTimer(window_, app::CTrayIcon::kRetryTimer)) << "retry " << i;
        SendMessageA(window_, WM_TIMER, app::CTrayIcon::kRetryTimer, 0);
    }
    EXPECT_FALSE(KillTimer(window_, app::CTrayIcon::kRetryTimer)) << "no retry after the last";
    EXPECT_EQ(g_adds, 1 + app::CTrayIcon::kRetries);
    EXPECT_FALSE(tray_.IsShown());
    // The taskbar's announcement still brings the icon once the shell is ready.
    g_refusals = 0;
    SendMessageA(window_, app::Messages().taskbarCreated, 0, 0);
    EXPECT_TRUE(TaskbarHasIcon(window_));
}

}  // namespace
