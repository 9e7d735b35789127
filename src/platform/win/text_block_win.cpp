#include <cstring>

#include "platform/text_block.h"
#include "platform/win/win.h"

namespace platform {

uintptr_t MakeTextBlock(const std::string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 5);
    if (!block) return 0;
    char* bytes = static_cast<char*>(GlobalLock(block));
    if (!bytes) {
        GlobalFree(block);
        return 0;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    return reinterpret_cast<uintptr_t>(block);
}

std::string TakeTextBlock(uintptr_t block) {
    const HGLOBAL memory = reinterpret_cast<HGLOBAL>(block);
    if (!memory) return std::string();
    std::string text;
    if (const char* bytes = static_cast<const char*>(GlobalLock(memory))) {
        text.assign(bytes, strnlen(bytes, GlobalSize(memory)));
        GlobalUnlock(memory);
    }
    GlobalFree(memory);
    return text;
}

void FreeTextBlock(uintptr_t block) {
    if (block) GlobalFree(reinterpret_cast<HGLOBAL>(block));
}

}  // namespace platform
