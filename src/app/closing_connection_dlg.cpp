#include "app/closing_connection_dlg.h"

#include <commctrl.h>

#include "platform/win/modeless.h"

namespace app {
namespace {
constexpr int kProgressControlId = 1001;
}  // namespace

CClosingConnectionDlg::CClosingConnectionDlg(HINSTANCE instance, HWND owner) : owner_(owner) {
    dialog_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(kDialogId), owner, DialogProc, 0);
    if (!dialog_) return;
    const HWND progress = GetDlgItem(dialog_, kProgressControlId);
    SendMessageA(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(progress, PBM_SETSTEP, 1, 0);
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    if (owner_) ownerWasEnabled_ = !EnableWindow(owner_, FALSE);
}

CClosingConnectionDlg::~CClosingConnectionDlg() {
    if (owner_ && ownerWasEnabled_) EnableWindow(owner_, TRUE);
    if (dialog_) DestroyWindow(dialog_);
}

void CClosingConnectionDlg::PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Kept for the message loop, which ends once the stop is over.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if ((dialog_ && IsDialogMessageA(dialog_, &msg)) || platform::TranslateModeless(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CClosingConnectionDlg::StepProgress() {
    if (dialog_) SendDlgItemMessageA(dialog_, kProgressControlId, PBM_STEPIT, 0, 0);
}

int CClosingConnectionDlg::Position() const {
    return dialog_ ? static_cast<int>(SendDlgItemMessageA(dialog_, kProgressControlId, PBM_GETPOS, 0, 0)) : -1;
}

INT_PTR CALLBACK CClosingConnectionDlg::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    // Nothing closes it but the stop that opened it.
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace app
