// One transfer of the download manager on its worker thread, through urlmon:
// an ordinary download goes into the browser cache and is then copied to the
// download folder, where it is marked as coming from the internet; a program
// update goes straight to the upgrade folder and must pass both trust checks
// (it is not marked: its installer runs silently, and a zone prompt would
// stop it). The callback answers the transfer's progress
// and sees the HTTP status, since urlmon reports a 404 as success.
#pragma once

#include "platform/win/win.h"

#include <urlmon.h>

#include <atomic>
#include <functional>
#include <string>

#include "dlmgr/download_item.h"
#include "dlmgr/win/held_file.h"

namespace dlmgr {

class CDownloadCallback : public IBindStatusCallback, public IHttpNegotiate {
public:
    // `progressed` is called on the worker thread after each progress report.
    CDownloadCallback(CDownloadItem* item, std::function<void()> progressed)
        : item_(item), progressed_(std::move(progressed)) {}

    // The HTTP status of the reply (0 before one arrived, or for other schemes).
    DWORD HttpStatus() const { return httpStatus_; }
    bool AnyProgress() const { return anyProgress_; }

    // IUnknown: the object lives on the worker's stack.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    // IBindStatusCallback
    STDMETHODIMP OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
    // IHttpNegotiate
    STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override;
    STDMETHODIMP OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override;

private:
    CDownloadItem* item_;
    std::function<void()> progressed_;
    DWORD httpStatus_ = 0;
    bool anyProgress_ = false;
};

// What the window gives the transfer.
struct TransferTarget {
    HWND window = nullptr;       // receives the end message
    UINT itemEndMessage = 0;     // "WM_Varnel10_DownloadItemEnd"
    UINT upgradeEndMessage = 0;  // "WM_Varnel10_DownloadUpgradeEnd"
    std::function<void()> progressed;
    // A program update that passed its trust checks is held here until its
    // installer has started (the window reads it after the thread ended).
    CHeldFile* heldUpdate = nullptr;
};

// Runs the item's transfer on the calling (worker) thread, leaves its result
// in item.outcome and posts the end message. Never throws.
void RunTransfer(CDownloadItem& item, const TransferTarget& target);

}  // namespace dlmgr
