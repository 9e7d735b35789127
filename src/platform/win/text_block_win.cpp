#include <cstring>

#include "platform/text_block.h"
#include "platform/win/handles.h"

namespace platform {

uintptr_t MakeTextBlock(const std::string& text) {
    platform::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, text.size() + 5));
    if (!block) return 0;
    char* bytes = static_cast<char*>(GlobalLock(block.get()));
    if (!bytes) return 0;
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block.get());
    return reinterpret_cast<uintptr_t>(block.release());
}

std::string TakeTextBlock(uintptr_t block) {
    const platform::UniqueGlobal memory(reinterpret_cast<HGLOBAL>(block));
    if (!memory) return std::string();
    std::string text;
    if (const char* bytes = static_cast<const char*>(GlobalLock(memory.get()))) {
        text.assign(bytes, strnlen(bytes, GlobalSize(memory.get())));
        GlobalUnlock(memory.get());
    }
    return text;
}

void FreeTextBlock(uintptr_t block) { platform::UniqueGlobal(reinterpret_cast<HGLOBAL>(block)); }

}  // namespace platform
