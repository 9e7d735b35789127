// Move-only owners of Windows handles: every handle the adapters open is
// released exactly once, on every path.
#pragma once

#include <optional>
#include <string>
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

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static HLOCAL Invalid() { return nullptr; }
    static void Close(HLOCAL h) { ::LocalFree(h); }
};
struct IconTraits {
    using Type = HICON;
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};

// Kernel objects (events, semaphores, processes, threads).
using UniqueHandle = UniqueHandleT<KernelHandleTraits>;
// Handles whose "none" is INVALID_HANDLE_VALUE: CreateFile, FindFirstFile.
using UniqueFile = UniqueHandleT<FileHandleTraits>;
using UniqueFind = UniqueHandleT<FindHandleTraits>;
using UniqueKey = UniqueHandleT<KeyTraits>;
using UniqueLibrary = UniqueHandleT<LibraryTraits>;
// Memory blocks of GlobalAlloc and LocalAlloc (and of the calls that allocate
// with them for the caller, such as FormatMessage).
using UniqueGlobal = UniqueHandleT<GlobalMemoryTraits>;
using UniqueLocal = UniqueHandleT<LocalMemoryTraits>;
// Icons the program made or extracted; never a shared icon (LoadIcon, LR_SHARED).
using UniqueIcon = UniqueHandleT<IconTraits>;

// The system's text for an error code, without its trailing line break: from
// the system's message table, or from `module`'s when one is given. None when
// the table has no text for the code.
std::optional<std::string> SystemMessageText(DWORD code, HMODULE module = nullptr);

}  // namespace platform
