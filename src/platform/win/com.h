// COM for the adapters: ComPtr and the per-thread initialisation.
#pragma once

#include <objbase.h>
#include <wrl/client.h>

#include "platform/win/win.h"

namespace platform {

using Microsoft::WRL::ComPtr;

// Initialises COM for the current thread for the owner's lifetime.
class ComInit {
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComInit() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    // S_FALSE (already initialised) counts as success; RPC_E_CHANGED_MODE does too,
    // because COM is usable on the thread, only not in the model asked for.
    bool ok() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
    HRESULT result() const { return hr_; }
private:
    HRESULT hr_;
};

}  // namespace platform
