#include "platform/notifier.h"
#include "platform/win/win.h"

namespace platform {
namespace {

class WindowNotifier : public INotifier {
public:
    bool Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
    }
    intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return SendMessageA(static_cast<HWND>(window), message, wParam, lParam);
    }
};

}  // namespace

std::unique_ptr<INotifier> MakeDefaultNotifier() { return std::make_unique<WindowNotifier>(); }

uint32_t RegisterMessage(const std::string& name) { return RegisterWindowMessageA(name.c_str()); }

}  // namespace platform
