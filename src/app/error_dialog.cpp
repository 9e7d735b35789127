#include "app/error_dialog.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include "platform/web_address.h"
#include "platform/win/modeless.h"
#include "platform/win/own_windows.h"
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

// The text of `range` of the control, in the ANSI code page. Read as wide
// text: the ANSI form of the message gives one character on some rich edit
// versions.
std::string TextOf(HWND edit, CHARRANGE range) {
    const LONG length = range.cpMax - range.cpMin;
    if (length <= 0 || length > 4096) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    TEXTRANGEW wide{range, text.data()};
    const LRESULT got = SendMessageW(edit, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&wide));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return platform::Narrow(text);
}

// Opens a link's text when it is a web address (auto-detection also marks
// "file:" and other schemes as links).
void OpenLink(HWND edit, CHARRANGE range) {
    const std::string link = TextOf(edit, range);
    if (!link.empty() && platform::AcceptWebPage(link)) CErrorDlg::LinkOpener()(link);
}

void OnLink(const ENLINK& link) {
    if (link.msg == WM_LBUTTONUP) OpenLink(link.nmhdr.hwndFrom, link.chrg);
}

bool SelectionIsLink(HWND edit) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_LINK;
    SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return (format.dwMask & CFM_LINK) && (format.dwEffects & CFE_LINK);
}

// The whole link that the selection lies in (or the caret touches), or an
// empty range. Rich edit tells a character's link mark only for the
// selection, so the walk moves the selection with drawing off and puts it
// back.
CHARRANGE LinkAtSelection(HWND edit) {
    CHARRANGE selection{};
    SendMessageW(edit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    GETTEXTLENGTHEX how{GTL_NUMCHARS | GTL_PRECISE, 1200};
    const LONG length = static_cast<LONG>(SendMessageW(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
    SendMessageW(edit, WM_SETREDRAW, FALSE, 0);
    const auto isLink = [edit](LONG from, LONG to) {
        CHARRANGE range{from, to};
        SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        return SelectionIsLink(edit);
    };
    CHARRANGE link{selection.cpMin, selection.cpMax};
    bool found = false;
    if (link.cpMin < link.cpMax) {
        found = isLink(link.cpMin, link.cpMax);
    } else if (link.cpMin < length && isLink(link.cpMin, link.cpMin + 1)) {
        ++link.cpMax;
        found = true;
    } else if (link.cpMin > 0 && isLink(link.cpMin - 1, link.cpMin)) {
        --link.cpMin;
        found = true;
    }
    constexpr LONG kLongestLink = 4096;
    while (found && link.cpMin > 0 && link.cpMax - link.cpMin < kLongestLink && isLink(link.cpMin - 1, link.cpMin))
        --link.cpMin;
    while (found && link.cpMax < length && link.cpMax - link.cpMin < kLongestLink && isLink(link.cpMax, link.cpMax + 1))
        ++link.cpMax;
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    SendMessageW(edit, WM_SETREDRAW, TRUE, 0);
    return found ? link : CHARRANGE{0, 0};
}

// The message text as a stop of the Tab key: arrows move the caret in it,
// Enter on a link opens the link, and Tab, Enter elsewhere and Esc are the
// dialog's (the control itself would keep them all).
LRESULT CALLBACK TextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    static bool swallowReturnChar = false;
    switch (message) {
        case WM_GETDLGCODE: {
            const MSG* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
                const CHARRANGE link = LinkAtSelection(edit);
                if (link.cpMax > link.cpMin) return DLGC_WANTMESSAGE;
            }
            if (msg && msg->message == WM_CHAR && msg->wParam == '\r' && swallowReturnChar) return DLGC_WANTMESSAGE;
            return DLGC_WANTCHARS | DLGC_WANTARROWS;
        }
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                const CHARRANGE link = LinkAtSelection(edit);
                if (link.cpMax > link.cpMin) {
                    swallowReturnChar = true;
                    OpenLink(edit, link);
                }
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r') {
                swallowReturnChar = false;
                return 0;
            }
            break;
        default: break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
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
            SetWindowSubclass(edit, TextProc, 0, 0);
            platform::ShowOnTaskbar(dialog, GetModuleHandleA(nullptr), IDR_MAINFRAME);
            return TRUE;
        }
        case WM_SYSCOLORCHANGE:
            // The text follows the system's colours by itself; its
            // background is the dialog's face colour, set again.
            SendDlgItemMessageA(dialog, IDC_ERROR_TEXT, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
            platform::ForwardSysColorChange(dialog);
            return TRUE;
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
