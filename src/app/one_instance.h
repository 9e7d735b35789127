// The one-instance rule. The first process of a logon takes the semaphore
// "Varnel2SingleInstanceSemaphore"; a later one finds the running instance's
// main window (class "Varnel", answering "WM_Varnel10_IsMe" with 1), posts it
// command 32879 (show the "already running" text) and exits.
#pragma once

#include <string>

#include "platform/win/handles.h"
#include "platform/win/win.h"

namespace app {

// The named semaphore (initial and maximum count 1; no "Global\" prefix, so
// the rule holds within one logon). Created by the constructor; the lock is
// released and the semaphore closed by the destructor.
class CSingleInstanceLock {
public:
    static constexpr char kSemaphoreName[] = "Varnel2SingleInstanceSemaphore";
    CSingleInstanceLock();
    ~CSingleInstanceLock();
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;

    // Takes the lock without waiting; false when another process holds it
    // (or the semaphore could not be created).
    bool TryLock();
    bool IsLocked() const { return locked_; }
    // The Windows error when the semaphore could not be created (0 when it was).
    uint32_t CreationError() const { return creationError_; }

private:
    platform::UniqueHandle semaphore_;
    uint32_t creationError_ = 0;
    bool locked_ = false;
};

class COneInstance {
public:
    static constexpr char kWindowClass[] = "Varnel";
    static constexpr ULONG_PTR kCopyDataId = 100;
    static constexpr DWORD kCopyDataMaxBytes = 1023;

    // The running instance's side, installed in the main window's procedure:
    // answers "WM_Varnel10_IsMe" with 1 and takes WM_COPYDATA with the
    // identifier 100. True when the message was one of these.
    static bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The second instance's side: the first top-level window of class
    // "Varnel" that answers "WM_Varnel10_IsMe" with non-zero, or null.
    static HWND FindRunningInstance();
    // Posts command 32879 to the running instance; false when none was found.
    static bool SignalRunningInstance();

    // What arrived through WM_COPYDATA 100 (the last text), for whoever wants it.
    static std::string LastCopyData();
};

}  // namespace app
