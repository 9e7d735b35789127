#include "app/main_registration.h"

#include "app/one_instance.h"
#include "appcore/window_placement.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "resource.h"

namespace app {

CMainRegistration::~CMainRegistration() {
    // The layers above are gone: what the window still receives goes to the
    // default procedure.
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

bool CMainRegistration::CreateFrameWindow(const std::string& title) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(instance_, COneInstance::kWindowClass, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance_;
        wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDR_MAINFRAME));
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = COneInstance::kWindowClass;
        if (!RegisterClassExA(&wc)) return false;
    }
    // Placement and styles may be set by an administrator; the program only
    // reads them.
    const platform::Settings& settings = platform::AppSettings();
    const appcore::WindowRect rect =
        appcore::MainWindowRect(settings, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const DWORD style = appcore::MainWindowStyle(settings, WS_OVERLAPPEDWINDOW);
    const DWORD extendedStyle = settings.ReadNumber(setting::kWindowExtendedStyle, 0);
    return CreateWindowExA(extendedStyle, COneInstance::kWindowClass, title.c_str(), style, rect.left, rect.top,
                           rect.width, rect.height, nullptr, nullptr, instance_, this) != nullptr;
}

void CMainRegistration::DestroyFrameWindow() {
    if (window_) DestroyWindow(window_);
}

LRESULT CMainRegistration::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK CMainRegistration::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CMainRegistration*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CMainRegistration*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // Nothing may escape a window procedure.
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        vnlog::Warning("CMainRegistration::WindowProc", true);
        return 0;
    }
}

}  // namespace app
