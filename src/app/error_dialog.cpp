#include "app/error_dialog.h"

#include "resource.h"

namespace app {
namespace {

HWND g_window = nullptr;  // the one error window (user-interface thread only)

// An edit control breaks lines only at "\r\n".
std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace

void CErrorDlg::Show(HINSTANCE instance, HWND owner, const std::string& text) {
    if (!g_window) {
        g_window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ERROR), owner, DialogProc, 0);
        if (!g_window) return;
    }
    SetDlgItemTextA(g_window, IDC_ERROR_TEXT, WithCrLf(text).c_str());
    ShowWindow(g_window, SW_SHOWNORMAL);
    SetForegroundWindow(g_window);
}

HWND CErrorDlg::Window() { return g_window; }

void CErrorDlg::Close() {
    if (g_window) DestroyWindow(g_window);
}

INT_PTR CALLBACK CErrorDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(dialog);
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (g_window == dialog) g_window = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace app
