#include "views/win/search_view.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/notifier.h"
#include "views/search_data.h"

namespace Views {

namespace {
constexpr UINT_PTR kBoxSubclassId = 2;
constexpr int kMargin = 6;
constexpr int kBoxWidth = 260;
constexpr int kButtonWidth = 80;
constexpr int kControlHeight = 23;

std::string WindowText(HWND window) {
    if (!window) return std::string();
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}
}  // namespace

CSearchView::CSearchView(VN_ListBase& list)
    : CListViewEx(viewmodel::ViewKind::Search, list), search_(dynamic_cast<CSearchData*>(&list)) {}

void CSearchView::OnCreated() {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(host_, GWLP_HINSTANCE));
    box_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0,
                           0, host_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSearchBoxId)), instance, nullptr);
    button_ = CreateWindowExA(0, "BUTTON", "Search", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
                              host_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSearchButtonId)), instance, nullptr);
    status_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, host_,
                              nullptr, instance, nullptr);
    const WPARAM font = reinterpret_cast<WPARAM>(font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    for (HWND control : {box_, button_, status_})
        if (control) SendMessageA(control, WM_SETFONT, font, TRUE);
    if (box_) {
        SendMessageA(box_, EM_SETLIMITTEXT, 200, 0);
        SetWindowSubclass(box_, &CSearchView::BoxProc, kBoxSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    ShowStatus();
}

int CSearchView::Search(const std::string& keywords) {
    if (!search_) return 0;
    if (box_ && WindowText(box_) != keywords) SetWindowTextA(box_, keywords.c_str());
    const int started = search_->StartSearch(keywords, host_, false);
    // The list was emptied (or will be refilled): the rows follow it.
    Reload();
    ShowStatus();
    return started;
}

std::string CSearchView::BoxText() const { return WindowText(box_); }

std::string CSearchView::StatusText() const { return WindowText(status_); }

void CSearchView::ShowStatus() {
    if (!status_) return;
    std::string text;
    if (search_) {
        text = search_->GetStatusText();
        if (!search_->GetPendingKeywords().empty()) text = kSearchingText;
    }
    if (text.empty() && search_ && !search_->GetCurrentKeywords().empty())
        text = std::to_string(RowCount()) + (RowCount() == 1 ? " product found" : " products found");
    SetWindowTextA(status_, text.c_str());
    PlaceStatus();
}

void CSearchView::PlaceStatus() {
    if (!status_) return;
    const int top = (kBarHeight - kControlHeight) / 2;
    // The height the text takes when wrapped at the width there is.
    int height = kControlHeight - 4;
    const std::string text = WindowText(status_);
    if (statusWidth_ > 0 && !text.empty()) {
        if (const HDC dc = GetDC(status_)) {
            const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(status_, WM_GETFONT, 0, 0)));
            RECT r{0, 0, statusWidth_, 0};
            DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(dc, old);
            ReleaseDC(status_, dc);
            if (r.bottom > height) height = std::min<int>(r.bottom, kBarHeight);
        }
    }
    // One line beside the button's text; more lines centred in the bar.
    const int y = height <= kControlHeight - 4 ? top + 4 : (kBarHeight - height) / 2;
    MoveWindow(status_, statusLeft_, y, statusWidth_, height, TRUE);
}

void CSearchView::Layout(int width, int height) {
    const int top = (kBarHeight - kControlHeight) / 2;
    int x = kMargin;
    if (box_) MoveWindow(box_, x, top, kBoxWidth, kControlHeight, TRUE);
    x += kBoxWidth + kMargin;
    if (button_) MoveWindow(button_, x, top, kButtonWidth, kControlHeight, TRUE);
    x += kButtonWidth + 2 * kMargin;
    statusLeft_ = x;
    statusWidth_ = width > x + kMargin ? width - x - kMargin : 0;
    PlaceStatus();
    if (list_) MoveWindow(list_, 0, kBarHeight, width, height > kBarHeight ? height - kBarHeight : 0, TRUE);
}

LRESULT CSearchView::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == platform::RegisterMessage(wmname::kSearchEnd)) {
        // Keywords given while the search ran start now; the rows are rebuilt
        // in the view's sort order either way.
        if (search_) search_->OnSearchEnd(static_cast<int>(wParam));
        Reload();
        ShowStatus();
        return 0;
    }
    switch (message) {
        case WM_SIZE: Layout(LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kSearchButtonId && HIWORD(wParam) == BN_CLICKED) {
                Search(BoxText());
                return 0;
            }
            if (LOWORD(wParam) == kSearchBoxId) return 0;  // the box's own notices
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == status_) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetBkColor(dc, GetSysColor(COLOR_WINDOW));
                SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        default: break;
    }
    return CListViewEx::OnHostMessage(message, wParam, lParam);
}

LRESULT CALLBACK CSearchView::BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &CSearchView::BoxProc, kBoxSubclassId);
    // Enter in the box searches; its character would only beep.
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        try {
            auto* self = reinterpret_cast<CSearchView*>(data);
            self->Search(self->BoxText());
        } catch (...) {
            vnlog::Warning("CSearchView::BoxProc", true);
        }
        return 0;
    }
    if (message == WM_CHAR && (wParam == '\r' || wParam == '\n')) return 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace Views
