// Move-only owners of Windows handles: every handle the adapters open is
// released exactly once, on every path.
#pragma once

#include <utility>

#include "platform/win/win.h"

namespace platform {

// A handle owned through Traits: Traits::Type, Traits::Invalid() (the value
// meaning "none") and Traits::Close(h).
template <typename Traits>
class UniqueHandleT {
public:
    using H = typename Traits::Type;
    UniqueHandleT() = default;
    explicit UniqueHandleT(H h) : h_(h) {}
    ~UniqueHandleT() { reset(); }
    UniqueHandleT(const UniqueHandleT&) = delete;
    UniqueHandleT& operator=(const UniqueHandleT&) = delete;
    UniqueHandleT(UniqueHandleT&& o) noexcept : h_(o.release()) {}
    UniqueHandleT& operator=(UniqueHandleT&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    H get() const { return h_; }
    // For out-parameters of the API that opens the handle.
    H* put() { reset(); return &h_; }
    explicit operator bool() const { return valid(h_); }
    H release() { H h = h_; h_ = Traits::Invalid(); return h; }
    void reset(H h = Traits::Invalid()) {
        if (valid(h_)) Traits::Close(h_);
        h_ = h;
    }
private:
    static bool valid(H h) { return h != Traits::Invalid() && h != H(); }
    H h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct KeyTraits {
    using Type = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct LibraryTraits {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};

// Kernel objects (events, semaphores, processes, threads).
using UniqueHandle = UniqueHandleT<KernelHandleTraits>;
// Handles whose "none" is INVALID_HANDLE_VALUE: CreateFile, FindFirstFile.
using UniqueFile = UniqueHandleT<FileHandleTraits>;
using UniqueFind = UniqueHandleT<FindHandleTraits>;
using UniqueKey = UniqueHandleT<KeyTraits>;
using UniqueLibrary = UniqueHandleT<LibraryTraits>;

}  // namespace platform
