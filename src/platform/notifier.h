// How the core tells the user-interface thread about its progress: registered
// window messages posted (or, for the transport's progress, sent) to a window.
// On Windows this is PostMessage/SendMessage; tests install a recorder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

using WindowHandle = void*;  // an HWND on Windows

class INotifier {
public:
    virtual ~INotifier() = default;
    virtual bool Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// The process's notifier (the platform's default unless another was installed).
INotifier& Notifier();
// Replaces the notifier and returns the one it replaced (nullptr: the default).
std::unique_ptr<INotifier> InstallNotifier(std::unique_ptr<INotifier> notifier);
std::unique_ptr<INotifier> MakeDefaultNotifier();

// The number of a registered window message; the same name gives the same
// number for the life of the process (RegisterWindowMessage on Windows).
uint32_t RegisterMessage(const std::string& name);

}  // namespace platform
