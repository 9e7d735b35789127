// The owners of Windows handles and automation values, and the system's
// message texts, against the real calls.
#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "platform/win/com.h"
#include "platform/win/handles.h"

namespace {

static_assert(!std::is_copy_constructible_v<platform::UniqueGlobal> && std::is_move_constructible_v<platform::UniqueGlobal>);
static_assert(!std::is_copy_assignable_v<platform::UniqueIcon> && std::is_move_assignable_v<platform::UniqueIcon>);
static_assert(!std::is_copy_constructible_v<platform::UniqueVariant> &&
              std::is_move_constructible_v<platform::UniqueVariant>);

TEST(HandlesWin, SystemMessageTextHasNoTrailingLineBreak) {
    const std::optional<std::string> text = platform::SystemMessageText(ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
    EXPECT_NE(text->back(), '\n');
    EXPECT_NE(text->back(), '\r');
    // A code the table does not know has no text (the caller words its own).
    EXPECT_FALSE(platform::SystemMessageText(0x2000FFFFu).has_value());
}

TEST(HandlesWin, SystemMessageTextReadsAModulesTable) {
    platform::UniqueLibrary wininet(::LoadLibraryA("wininet.dll"));
    ASSERT_TRUE(wininet);
    const std::optional<std::string> text = platform::SystemMessageText(12029, wininet.get());  // cannot connect
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
}

TEST(HandlesWin, MovedOwnersFreeOnce) {
    platform::UniqueGlobal first(::GlobalAlloc(GMEM_MOVEABLE, 16));
    ASSERT_TRUE(first);
    const HGLOBAL block = first.get();
    platform::UniqueGlobal second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), block);
    second.reset();
    EXPECT_FALSE(second);

    platform::UniqueVariant text(platform::MakeBstr(L"caf\u00e9"));
    platform::UniqueVariant moved(std::move(text));
    EXPECT_EQ(text.get().vt, VT_EMPTY);
    EXPECT_EQ(moved.Text(), "caf\xe9");
    VARIANT* out = moved.put();  // cleared for the next call to fill
    EXPECT_EQ(out->vt, VT_EMPTY);
}

}  // namespace
