#include "app/error_dialog.h"

#include <richedit.h>
#include <shellapi.h>

#include "platform/win/modeless.h"
#include "platform/win/wide.h"
#include "resource.h"

namespace app {
namespace {

constexpr int kMarginPixels = 10;
HWND g_window = nullptr;  // the one error window (user-interface thread only)

// The rich edit class lives in msftedit.dll, loaded once for the process.
void LoadRichEdit() {
    static HMODULE module = LoadLibraryA("msftedit.dll");
    (void)module;
}

// Rich edit breaks lines at "\r"; a "\r\n" pair or a lone "\n" is one break.
std::string WithCr(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
}

void OnLink(const ENLINK& link) {
    if (link.msg != WM_LBUTTONUP) return;
    const LONG length = link.chrg.cpMax - link.chrg.cpMin;
    if (length <= 0 || length > 4096) return;
    // The wide text range: the ANSI form of the message gives one character
    // on some rich edit versions.
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    TEXTRANGEW range{link.chrg, text.data()};
    const LRESULT got = SendMessageW(link.nmhdr.hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    if (text.empty()) return;
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    if (!ansi.empty()) CErrorDlg::LinkOpener()(ansi);
}

}  // namespace

std::function<void(const std::string&)>& CErrorDlg::LinkOpener() {
    static std::function<void(const std::string&)> opener = [](const std::string& link) {
        ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    return opener;
}

void CErrorDlg::Show(HINSTANCE instance, HWND owner, const std::string& text) {
    if (!g_window) {
        LoadRichEdit();
        g_window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_ERROR), owner, DialogProc, 0);
        if (!g_window) return;
        platform::RegisterModeless(g_window, platform::ModelessKind::Dialog);
    }
    const HWND edit = GetDlgItem(g_window, IDC_ERROR_TEXT);
    // Set as wide text: the control is a Unicode one.
    SetWindowTextW(edit, platform::Widen(WithCr(text)).c_str());
    ShowWindow(g_window, SW_SHOWNORMAL);
    SetForegroundWindow(g_window);
    SetFocus(GetDlgItem(g_window, IDOK));
}

HWND CErrorDlg::Window() { return g_window; }

void CErrorDlg::Close() {
    if (g_window) DestroyWindow(g_window);
}

INT_PTR CALLBACK CErrorDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const HWND edit = GetDlgItem(dialog, IDC_ERROR_TEXT);
            SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMarginPixels, kMarginPixels));
            SendMessageA(edit, EM_AUTOURLDETECT, TRUE, 0);
            SendMessageA(edit, EM_SETEVENTMASK, 0, ENM_LINK);
            SendMessageA(edit, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
            return TRUE;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_ERROR_TEXT && header->code == EN_LINK)
                OnLink(*reinterpret_cast<const ENLINK*>(lParam));
            return FALSE;
        }
        default: {
            INT_PTR result = FALSE;
            platform::HandleModelessClose(dialog, message, wParam, g_window, result);
            return result;
        }
    }
}

}  // namespace app
