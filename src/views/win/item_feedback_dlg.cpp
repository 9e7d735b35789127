#include "views/win/item_feedback_dlg.h"

#include <vector>

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "platform/log.h"
#include "platform/string_table.h"
#include "platform/win/modeless.h"
#include "platform/win/own_windows.h"
#include "resource.h"
#include "views/item_feedback.h"
#include "views/submitter.h"

namespace Views {
namespace {

// Report windows open now (user-interface thread only).
int g_openDialogs = 0;

// The worker's word that the report has been sent (wParam 1) or not (0).
constexpr UINT kSendDone = WM_APP + 0x31;
constexpr int kCommentsLimit = 4000;

// The worker's own copy of the item, so that the list's item is read and
// changed on the user-interface thread only.
std::unique_ptr<VN_UpdatedItem> CopyOfItem(const VN_UpdatedItem& item) {
    if (const auto* driver = dynamic_cast<const VN_DriverItem*>(&item)) {
        auto copy = std::make_unique<VN_DriverItem>();
        copy->CopyFrom(*driver);
        return copy;
    }
    if (const auto* program = dynamic_cast<const VN_WatchItem*>(&item)) {
        auto copy = std::make_unique<VN_WatchItem>();
        copy->CopyFrom(*program);
        return copy;
    }
    return nullptr;
}

}  // namespace

CItemFeedbackDlg::CItemFeedbackDlg(HINSTANCE instance, VN_UpdatedItem& item) : instance_(instance), item_(item) {
    send = [](VN_UpdatedItem& copy, const std::string& reason, const std::string& comments) {
        return Submit::CSubmitter().Execute(copy, reason, comments);
    };
    warn = [](HWND dialog, const std::string& text) {
        MessageBoxA(dialog, text.c_str(), Submit::kRefusalTitle, MB_OK | MB_ICONWARNING);
    };
}

CItemFeedbackDlg::~CItemFeedbackDlg() {
    if (window_) DestroyWindow(window_);
    LetWorkerGo();
    if (nameFont_) DeleteObject(nameFont_);
}

void CItemFeedbackDlg::LetWorkerGo() {
    // The window went (the program is closing) while the report was on its
    // way: the worker has its own copy of everything it uses and its word
    // finds no window, so it is not waited for (a call may take 30 seconds).
    // The item keeps its report, which the next check sends, should this
    // call not arrive.
    if (worker_.joinable()) worker_.detach();
}

bool CItemFeedbackDlg::IsAnyOpen() { return g_openDialogs > 0; }

bool CItemFeedbackDlg::Create(HWND owner) {
    if (window_) return true;
    window_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_ITEM_FEEDBACK), owner, &DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (!window_) {
        vnlog::Write("*** The report dialog could not be created");
        return false;
    }
    ++g_openDialogs;
    ShowWindow(window_, SW_SHOW);
    // Its owner, the main window, may be hidden: the dialog comes to the front on its own.
    SetForegroundWindow(window_);
    return true;
}

bool CItemFeedbackDlg::DoModal(HWND owner) {
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (!Create(owner)) return false;
    if (disableOwner) EnableWindow(owner, FALSE);
    MSG msg;
    while (window_) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that runs the program
            break;
        }
        if (got == -1) break;
        if (IsDialogMessageA(window_, &msg) || platform::TranslateModeless(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The owner comes back before the dialog goes, so that it keeps the activation.
    if (disableOwner) EnableWindow(owner, TRUE);
    if (window_) DestroyWindow(window_);
    LetWorkerGo();
    return changed_;
}

INT_PTR CALLBACK CItemFeedbackDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CItemFeedbackDlg*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_ = window;
        self->OnInit();
        return TRUE;
    }
    auto* self = reinterpret_cast<CItemFeedbackDlg*>(GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CItemFeedbackDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (state_ == State::Editing) OnSubmit();
                    return TRUE;
                case IDCANCEL:
                    // Escape and the close box do nothing while the report is on its way.
                    if (state_ != State::Sending) DestroyWindow(window_);
                    return TRUE;
                default: return FALSE;
            }
        case kSendDone: OnSendDone(wParam != 0); return TRUE;
        case WM_DESTROY:
            SetWindowLongPtrA(window_, DWLP_USER, 0);
            window_ = nullptr;
            --g_openDialogs;
            return FALSE;
        default: return FALSE;
    }
}

void CItemFeedbackDlg::OnInit() {
    SetWindowTextA(window_, Submit::ReportCaption(item_).c_str());
    SetDlgItemTextA(window_, IDC_FB_NAME, item_.GetDisplayName(false).c_str());
    SetDlgItemTextA(window_, IDC_FB_EXPLANATION, Submit::ReportExplanation(item_).c_str());
    // The name stands out in the dialog's own font, bold.
    LOGFONTA face{};
    if (HFONT font = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
        font && GetObjectA(font, sizeof face, &face)) {
        face.lfWeight = FW_BOLD;
        nameFont_ = CreateFontIndirectA(&face);
        if (nameFont_) SendDlgItemMessageA(window_, IDC_FB_NAME, WM_SETFONT, reinterpret_cast<WPARAM>(nameFont_), 0);
    }
    HWND icon = GetDlgItem(window_, IDC_FB_ICON);
    item_.ShowIcon(icon);
    if (!SendMessageA(icon, STM_GETICON, 0, 0)) {
        // No icon to show (a device class the system draws none for): the
        // name and the explanation take its place rather than leave a gap.
        ShowWindow(icon, SW_HIDE);
        RECT iconArea{};
        GetWindowRect(icon, &iconArea);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&iconArea), 2);
        for (int id : {IDC_FB_NAME, IDC_FB_EXPLANATION}) {
            HWND text = GetDlgItem(window_, id);
            RECT area{};
            GetWindowRect(text, &area);
            MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
            SetWindowPos(text, nullptr, iconArea.left, area.top, area.right - iconArea.left, area.bottom - area.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    HWND reasons = GetDlgItem(window_, IDC_FB_REASON);
    int selected = 0;
    const std::vector<int> ids = Submit::ReportReasonIds(item_);
    for (size_t i = 0; i < ids.size(); ++i) {
        SendMessageA(reasons, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(platform::LoadText(ids[i]).c_str()));
        // A report kept from before comes back with its reason.
        if (ids[i] == item_.reportReason && i > 0) selected = static_cast<int>(i);
    }
    SendMessageA(reasons, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    SendDlgItemMessageA(window_, IDC_FB_COMMENTS, EM_LIMITTEXT, kCommentsLimit, 0);
    SetDlgItemTextA(window_, IDC_FB_COMMENTS, item_.reportComments.c_str());
    platform::CentreOnOwnerOrScreen(window_);
}

std::string CItemFeedbackDlg::ControlText(int id) const {
    HWND control = GetDlgItem(window_, id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CItemFeedbackDlg::OnSubmit() {
    HWND reasons = GetDlgItem(window_, IDC_FB_REASON);
    const int selection = static_cast<int>(SendMessageA(reasons, CB_GETCURSEL, 0, 0));
    std::string reason;
    if (selection >= 0) {
        reason.resize(static_cast<size_t>(SendMessageA(reasons, CB_GETLBTEXTLEN, selection, 0)) + 1);
        reason.resize(static_cast<size_t>(
            SendMessageA(reasons, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(reason.data()))));
    }
    const std::string comments = ControlText(IDC_FB_COMMENTS);
    const std::string refusal = Submit::ReportRefusal(selection, reason, comments);
    if (!refusal.empty()) {
        warn(window_, refusal);
        SetFocus(selection <= 0 ? reasons : GetDlgItem(window_, IDC_FB_COMMENTS));
        return;
    }

    item_.reportReason = Submit::ReasonCode(reason);
    item_.reportComments = comments;
    changed_ = true;
    std::shared_ptr<VN_UpdatedItem> copy = CopyOfItem(item_);
    if (!copy) {
        OnSendDone(false);
        return;
    }
    SetBusy(true);
    state_ = State::Sending;
    SetDlgItemTextA(window_, IDC_FB_STATUS, "Sending your report...");
    const HWND target = window_;
    Sender sender = send;
    worker_ = std::thread([target, sender, copy, reason, comments] {
        bool sent = false;
        try {
            sent = sender(*copy, reason, comments);
        } catch (...) {
            vnlog::Write("*** Warning, exceptions in CItemFeedbackDlg::Submit in catch all block.");
        }
        PostMessageA(target, kSendDone, sent ? 1 : 0, 0);
    });
}

void CItemFeedbackDlg::OnSendDone(bool sent) {
    if (worker_.joinable()) worker_.join();
    if (sent) {
        // The report is done: nothing waits for the next check.
        item_.reportReason = 0;
        item_.reportComments.clear();
    }
    state_ = sent ? State::Sent : State::Kept;
    SetDlgItemTextA(
        window_, IDC_FB_STATUS,
        Submit::ReportOutcomeText(sent ? Submit::ReportOutcome::Sent : Submit::ReportOutcome::Kept).c_str());
    // What is left is to close: the report cannot be changed or sent twice.
    SetBusy(true);
    ShowWindow(GetDlgItem(window_, IDOK), SW_HIDE);
    HWND close = GetDlgItem(window_, IDCANCEL);
    SetWindowTextA(close, "Close");
    EnableWindow(close, TRUE);
    if (HMENU menu = GetSystemMenu(window_, FALSE)) EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    SendMessageA(window_, DM_SETDEFID, IDCANCEL, 0);
    SendMessageA(close, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
}

void CItemFeedbackDlg::SetBusy(bool busy) {
    for (int id : {IDC_FB_REASON, IDC_FB_COMMENTS, IDOK, IDCANCEL}) EnableWindow(GetDlgItem(window_, id), !busy);
    // The system menu's Close follows the Cancel button.
    if (HMENU menu = GetSystemMenu(window_, FALSE))
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED));
}

}  // namespace Views
