// On the host a block is a heap copy of the text.
#include <memory>

#include "platform/text_block.h"

namespace platform {

uintptr_t MakeTextBlock(const std::string& text) {
    return reinterpret_cast<uintptr_t>(new std::string(text.c_str()));
}

std::string TakeTextBlock(uintptr_t block) {
    std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(block));
    return text ? *text : std::string();
}

void FreeTextBlock(uintptr_t block) { delete reinterpret_cast<std::string*>(block); }

}  // namespace platform
