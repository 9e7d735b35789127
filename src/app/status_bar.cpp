#include "app/status_bar.h"

#include <commctrl.h>

#include <ctime>

#include "engine/tray_summary.h"
#include "platform/win/own_windows.h"

namespace app {
namespace {

constexpr char kRedTextClass[] = "VarnelRedText";
constexpr UINT kStatusBarId = 0xE801;

// The red-text control: its window text drawn in pure red on the bar's face.
LRESULT CALLBACK RedTextProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        RECT rect;
        GetClientRect(window, &rect);
        FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        const HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, platform::WarningColour(RGB(255, 0, 0)));
        rect.left += 2;
        DrawTextA(dc, text, -1, &rect, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_SETTEXT) {
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

CStatusProgBar::~CStatusProgBar() {
    if (bar_ && IsWindow(bar_)) DestroyWindow(bar_);
}

bool CStatusProgBar::Create(HINSTANCE instance, HWND parent) {
    if (!platform::RegisterWindowClass(instance, kRedTextClass, RedTextProc)) return false;
    bar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusBarId)), instance, nullptr);
    if (!bar_) return false;
    progress_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 0, 0, bar_, nullptr, instance, nullptr);
    red_ = CreateWindowExA(0, kRedTextClass, "", WS_CHILD, 0, 0, 0, 0, bar_, nullptr, instance, nullptr);
    SendMessageA(progress_, PBM_SETRANGE32, 0, 100);
    SendMessageA(progress_, PBM_SETSTEP, 1, 0);
    Layout();
    SetPane(2, "Last successful check");
    return true;
}

void CStatusProgBar::OnParentSize() {
    if (!bar_) return;
    SendMessageA(bar_, WM_SIZE, 0, 0);
    Layout();
}

void CStatusProgBar::Layout() {
    RECT client{};
    GetClientRect(bar_, &client);
    const int width = client.right - client.left;
    int edges[3] = {width - kProgressPaneWidth - kTimePaneWidth, width - kTimePaneWidth, -1};
    if (edges[0] < 0) edges[0] = 0;
    if (edges[1] < edges[0]) edges[1] = edges[0];
    SendMessageA(bar_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    RECT pane{};
    if (SendMessageA(bar_, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&pane)))
        MoveWindow(red_, pane.left + 1, pane.top + 1, pane.right - pane.left - 2, pane.bottom - pane.top - 2, TRUE);
    if (SendMessageA(bar_, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&pane)))
        MoveWindow(progress_, pane.left + 1, pane.top + 1, pane.right - pane.left - 2, pane.bottom - pane.top - 2,
                   TRUE);
}

void CStatusProgBar::SetPane(int pane, const std::string& text) {
    if (bar_) SendMessageA(bar_, SB_SETTEXTA, pane, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string CStatusProgBar::PaneText(int pane) const {
    if (!bar_) return std::string();
    const LRESULT length = LOWORD(SendMessageA(bar_, SB_GETTEXTLENGTHA, pane, 0));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(bar_, SB_GETTEXTA, pane, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

int CStatusProgBar::ProgressPosition() const {
    return progress_ ? static_cast<int>(SendMessageA(progress_, PBM_GETPOS, 0, 0)) : 0;
}
// Shown on the bar, whether or not the (normally hidden) main window is.
bool CStatusProgBar::ProgressVisible() const {
    return progress_ && (GetWindowLongA(progress_, GWL_STYLE) & WS_VISIBLE) != 0;
}
bool CStatusProgBar::RedTextVisible() const { return red_ && (GetWindowLongA(red_, GWL_STYLE) & WS_VISIBLE) != 0; }

void CStatusProgBar::SetIdleText(uint32_t frequency) { SetPane(0, engine::IdleStatusText(frequency)); }

void CStatusProgBar::OnTalkProgress(LPARAM text) {
    // The text is sent from another thread of this process; a value that is
    // not a readable text is ignored.
    const char* progress = reinterpret_cast<const char*>(text);
    if (!progress || IsBadStringPtrA(progress, 1024)) return;
    SetPane(0, engine::TalkStatusText(progress));
    SendMessageA(progress_, PBM_STEPIT, 0, 0);
}

void CStatusProgBar::OnPhase(int phase, int mark, bool stopped) {
    const engine::PhaseDisplay d = engine::PhaseStep(phase, mark, stopped, redText_);
    if (!bar_) return;
    if (d.hideRedText) {
        redText_.clear();
        ShowWindow(red_, SW_HIDE);
    }
    if (d.paneText) SetPane(0, *d.paneText);
    if (d.showRedText) {
        SetWindowTextA(red_, d.paneText->c_str());
        ShowWindow(red_, SW_SHOW);
    }
    if (d.progress >= 0) SendMessageA(progress_, PBM_SETPOS, d.progress, 0);
    if (d.showProgress) ShowWindow(progress_, SW_SHOW);
    if (d.hideProgress) ShowWindow(progress_, SW_HIDE);
    if (d.lastCheckTime) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_s(&local, &now) == 0) SetPane(2, engine::LastCheckText(local));
    }
}

}  // namespace app
