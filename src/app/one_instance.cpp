#include "app/one_instance.h"

#include <cstring>
#include <mutex>

#include "app/app_messages.h"
#include "platform/log.h"
#include "resource.h"

namespace app {
namespace {
std::mutex g_copyDataMutex;
std::string g_copyData;
}  // namespace

CSingleInstanceLock::CSingleInstanceLock() : semaphore_(CreateSemaphoreA(nullptr, 1, 1, kSemaphoreName)) {
    if (!semaphore_) creationError_ = GetLastError();
}

CSingleInstanceLock::~CSingleInstanceLock() {
    if (locked_ && semaphore_) ReleaseSemaphore(semaphore_.get(), 1, nullptr);
}

bool CSingleInstanceLock::TryLock() {
    if (locked_) return true;
    if (!semaphore_) return false;
    locked_ = WaitForSingleObject(semaphore_.get(), 0) == WAIT_OBJECT_0;
    return locked_;
}

bool COneInstance::HandleMessage(HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message == Messages().isMe) {
        result = 1;
        return true;
    }
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != kCopyDataId) return false;
        // The text is bounded by its stated size and by the limit, whether or
        // not the sender ended it with a zero.
        std::string text;
        if (data->lpData && data->cbData > 0 && data->cbData <= kCopyDataMaxBytes) {
            const char* bytes = static_cast<const char*>(data->lpData);
            text.assign(bytes, strnlen(bytes, data->cbData));
        }
        {
            std::lock_guard<std::mutex> lock(g_copyDataMutex);
            g_copyData = text;
        }
        vnlog::Write("Received from another process: " + text);
        result = TRUE;
        return true;
    }
    return false;
}

HWND COneInstance::FindRunningInstance() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            char name[64] = {};
            if (!GetClassNameA(window, name, sizeof name) || std::strcmp(name, kWindowClass) != 0) return TRUE;
            DWORD_PTR answer = 0;
            // A hung instance must not hang this one: the question times out.
            if (!SendMessageTimeoutA(window, Messages().isMe, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) || !answer)
                return TRUE;
            reinterpret_cast<Search*>(param)->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool COneInstance::SignalRunningInstance() {
    const HWND window = FindRunningInstance();
    if (!window) return false;
    // The running instance is in the background and Windows would refuse it
    // the foreground; this start is what the user just did, so it lends it.
    DWORD owner = 0;
    if (GetWindowThreadProcessId(window, &owner) && owner) AllowSetForegroundWindow(owner);
    return PostMessageA(window, WM_COMMAND, ID_ALREADY_RUNNING, 0) != FALSE;
}

std::string COneInstance::LastCopyData() {
    std::lock_guard<std::mutex> lock(g_copyDataMutex);
    return g_copyData;
}

}  // namespace app
