// The modeless "Please wait while the connection is closed." dialog (117)
// that StopWorker shows while it waits for the worker: two texts and a
// progress control (0-100, step 1) that moves every 300 ms. Its owner is
// disabled while it shows.
#pragma once

#include "platform/win/win.h"

namespace app {

class CClosingConnectionDlg {
public:
    static constexpr int kDialogId = 117;

    CClosingConnectionDlg(HINSTANCE instance, HWND owner);
    ~CClosingConnectionDlg();
    CClosingConnectionDlg(const CClosingConnectionDlg&) = delete;
    CClosingConnectionDlg& operator=(const CClosingConnectionDlg&) = delete;

    HWND Window() const { return dialog_; }
    // Dispatches the messages waiting for this thread (the dialog's among them).
    void PumpMessages();
    void StepProgress();
    int Position() const;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    HWND dialog_ = nullptr;
    bool ownerWasEnabled_ = false;
};

}  // namespace app
