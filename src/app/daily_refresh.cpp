#include "app/daily_refresh.h"

#include "platform/log.h"
#include "platform/win/own_windows.h"
#include "service/catalog_client.h"

namespace app {

namespace {
constexpr char kWindowClass[] = "VarnelDailyRefresh";
}  // namespace

CDailyRefresh::CDailyRefresh(HINSTANCE instance, VN_ListBase& list, std::function<void()> replaced)
    : refresh_(list), replaced_(std::move(replaced)) {
    platform::RegisterWindowClass(instance, kWindowClass, &CDailyRefresh::WindowProc);
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (!window_) vnlog::Write("*** Today's updates: no window for the refresh");
}

CDailyRefresh::~CDailyRefresh() {
    // Refreshes still running post to a window that is gone; their results are dropped.
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void CDailyRefresh::Start() {
    if (!window_) return;
    const std::string url = catalog::DailyUpdatesUrl();
    vnlog::Write("Today's updates: refreshing from " + url);
    refresh_.Start(url, window_, kDoneMessage);
}

LRESULT CALLBACK CDailyRefresh::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CDailyRefresh*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CDailyRefresh*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && message == kDoneMessage) {
        try {
            if (self->refresh_.Finish(static_cast<uintptr_t>(wParam)) && self->replaced_) self->replaced_();
        } catch (...) {
            vnlog::Warning("CDailyRefresh::WindowProc", true);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace app
