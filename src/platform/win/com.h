// COM for the adapters: ComPtr, the per-thread initialisation and owners of
// the automation values (BSTR, VARIANT) that the COM calls take and give.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

#include "platform/win/handles.h"
#include "platform/win/wide.h"
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

struct BstrTraits {
    using Type = BSTR;
    static BSTR Invalid() { return nullptr; }
    static void Close(BSTR b) { ::SysFreeString(b); }
};
// A BSTR owned by one holder; put() receives one a COM call allocates.
using UniqueBstr = UniqueHandleT<BstrTraits>;

// A new BSTR holding the text; empty (false) when memory ran out.
inline UniqueBstr MakeBstr(std::wstring_view text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}
// The program's text of a BSTR (a null BSTR is the empty text).
inline std::string BstrText(BSTR b) {
    return b ? Narrow(std::wstring_view(b, ::SysStringLen(b))) : std::string();
}

// A VARIANT owned by one holder, cleared (freeing what it holds) when it goes.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&v_); }
    // A string value that takes over the text.
    explicit UniqueVariant(UniqueBstr text) : UniqueVariant() {
        v_.vt = VT_BSTR;
        v_.bstrVal = text.release();
    }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& o) noexcept : v_(o.v_) { ::VariantInit(&o.v_); }
    UniqueVariant& operator=(UniqueVariant&& o) noexcept {
        if (this != &o) {
            ::VariantClear(&v_);
            v_ = o.v_;
            ::VariantInit(&o.v_);
        }
        return *this;
    }
    const VARIANT& get() const { return v_; }
    // For out-parameters: clears the value first.
    VARIANT* put() {
        ::VariantClear(&v_);
        return &v_;
    }
    // The text of a string value; empty for anything else (a NULL property).
    std::string Text() const { return v_.vt == VT_BSTR ? BstrText(v_.bstrVal) : std::string(); }

private:
    VARIANT v_;
};

}  // namespace platform
