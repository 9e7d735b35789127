#include "platform/win/handles.h"

namespace platform {

std::optional<std::string> SystemMessageText(DWORD code, HMODULE module) {
    const DWORD source = module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          module, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const UniqueLocal owned(text);
    if (length == 0 || text == nullptr) return std::nullopt;
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}

}  // namespace platform
