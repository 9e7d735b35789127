#include "platform/win/modeless.h"

#include <commctrl.h>
#include <prsht.h>

#include <utility>
#include <vector>

namespace platform {
namespace {

// User-interface thread only.
std::vector<std::pair<HWND, ModelessKind>>& Windows() {
    static std::vector<std::pair<HWND, ModelessKind>> windows;
    return windows;
}

}  // namespace

void RegisterModeless(HWND window, ModelessKind kind) {
    if (window) Windows().emplace_back(window, kind);
}

void UnregisterModeless(HWND window) {
    auto& windows = Windows();
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->first == window) {
            windows.erase(it);
            return;
        }
    }
}

bool HandleModelessClose(HWND dialog, UINT message, WPARAM wParam, HWND& single, INT_PTR& result) {
    switch (message) {
        case WM_COMMAND:
            result = FALSE;
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(dialog);
                result = TRUE;
            }
            return true;
        case WM_DESTROY:
            UnregisterModeless(dialog);
            if (single == dialog) single = nullptr;
            result = FALSE;
            return true;
        default: return false;
    }
}

bool TranslateModeless(MSG& message) {
    // A copy: handling the message may close a window.
    const auto windows = Windows();
    for (const auto& [window, kind] : windows) {
        if (!IsWindow(window)) continue;
        if (kind == ModelessKind::Sheet) {
            if (!PropSheet_IsDialogMessage(window, &message)) continue;
            if (!PropSheet_GetCurrentPageHwnd(window)) DestroyWindow(window);
            return true;
        }
        if (IsDialogMessageA(window, &message)) return true;
    }
    return false;
}

}  // namespace platform
