#include "views/win/item_properties.h"

#include "platform/win/modeless.h"
#include "platform/win/own_windows.h"

namespace Views {
namespace {

constexpr char kClass[] = "VarnelItemProperties";
constexpr int kTextId = 100;
constexpr int kMargin = 10;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

HWND g_window = nullptr;
HFONT g_font = nullptr;

void Layout(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const int textBottom = client.bottom - kMargin * 2 - kButtonHeight;
    MoveWindow(GetDlgItem(window, kTextId), kMargin, kMargin, client.right - 2 * kMargin, textBottom - kMargin, TRUE);
    MoveWindow(GetDlgItem(window, IDCANCEL), client.right - kMargin - kButtonWidth,
               client.bottom - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, TRUE);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: Layout(window); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) DestroyWindow(window);
            return 0;
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY:
            platform::UnregisterModeless(window);
            if (g_window == window) g_window = nullptr;
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool CItemPropertiesWnd::Show(HINSTANCE instance, HWND owner, const std::string& title, const std::string& text) {
    if (!g_window) {
        if (!platform::RegisterWindowClass(instance, kClass, WindowProc, COLOR_BTNFACE)) return false;
        if (!g_font) {
            NONCLIENTMETRICSA metrics{};
            metrics.cbSize = sizeof metrics;
            if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
                g_font = CreateFontIndirectA(&metrics.lfMessageFont);
        }
        g_window = CreateWindowExA(WS_EX_DLGMODALFRAME, kClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                                   CW_USEDEFAULT, CW_USEDEFAULT, 500, 290, owner, nullptr, instance, nullptr);
        if (!g_window) return false;
        platform::RegisterModeless(g_window, platform::ModelessKind::Dialog);  // Esc and Enter close it, Tab moves
        const WPARAM font = reinterpret_cast<WPARAM>(g_font ? g_font : GetStockObject(DEFAULT_GUI_FONT));
        HWND edit = CreateWindowExA(
            WS_EX_CLIENTEDGE, "EDIT", "",
            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 0, 0,
            g_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
        HWND close =
            CreateWindowExA(0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0,
                            g_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
        SendMessageA(edit, WM_SETFONT, font, TRUE);
        SendMessageA(close, WM_SETFONT, font, TRUE);
        // Labels in one column, values in the next.
        const UINT tab = 90;  // dialog units
        SendMessageA(edit, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tab));
        Layout(g_window);
        // Centred on the owner when it is on screen, else on the screen.
        RECT area{};
        if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        RECT own{};
        GetWindowRect(g_window, &own);
        const int w = own.right - own.left, h = own.bottom - own.top;
        SetWindowPos(g_window, nullptr, area.left + (area.right - area.left - w) / 2,
                     area.top + (area.bottom - area.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    SetWindowTextA(g_window, title.c_str());
    SetDlgItemTextA(g_window, kTextId, text.c_str());
    ShowWindow(g_window, SW_SHOWNORMAL);
    SetForegroundWindow(g_window);
    return true;
}

void CItemPropertiesWnd::Close() {
    if (g_window) DestroyWindow(g_window);
    g_window = nullptr;
}

HWND CItemPropertiesWnd::Window() { return g_window; }

std::string CItemPropertiesWnd::Text() {
    if (!g_window) return std::string();
    HWND edit = GetDlgItem(g_window, kTextId);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace Views
