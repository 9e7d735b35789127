// Texts that travel from a worker thread to the user-interface thread inside
// a posted message: the sender makes a block, the receiver takes the text out
// of it and frees it. On Windows a block is a movable global memory block
// holding the text and its terminating zero (four spare bytes after it).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A new block holding the text, or 0 when none could be made.
uintptr_t MakeTextBlock(const std::string& text);
// The text of a block (up to its first zero byte); frees the block. An empty
// text for block 0.
std::string TakeTextBlock(uintptr_t block);
// Frees a block that was never delivered.
void FreeTextBlock(uintptr_t block);

}  // namespace platform
