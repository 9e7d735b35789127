#include "appcore/window_placement.h"

#include "platform/setting_names.h"

namespace appcore {

WindowRect DefaultWindowRect(int32_t screenWidth, int32_t screenHeight) {
    WindowRect rect;
    // Screen sizes are small: the arithmetic cannot overflow in 64 bits.
    rect.width = static_cast<int32_t>(static_cast<int64_t>(screenWidth) * 10 / 14);
    rect.height = static_cast<int32_t>(static_cast<int64_t>(screenHeight) * 10 / 14);
    rect.left = (screenWidth - rect.width) / 2;
    rect.top = (screenHeight - rect.height) / 2;
    return rect;
}

WindowRect MainWindowRect(const platform::Settings& settings, int32_t screenWidth, int32_t screenHeight) {
    const WindowRect fallback = DefaultWindowRect(screenWidth, screenHeight);
    // Stored as DWORDs; a value above 2^31 is a negative number written by someone.
    const auto read = [&settings](const char* name, int32_t def) {
        return static_cast<int32_t>(settings.ReadNumber(name, static_cast<uint32_t>(def)));
    };
    WindowRect rect;
    rect.top = read(setting::kWindowRectTop, fallback.top);
    rect.left = read(setting::kWindowRectLeft, fallback.left);
    rect.height = read(setting::kWindowRectHeight, fallback.height);
    rect.width = read(setting::kWindowRectWidth, fallback.width);
    const bool fits = rect.top >= 0 && rect.left >= 0 && rect.height >= 0 && rect.width >= 0 &&
                      rect.top <= screenHeight && rect.height <= screenHeight && rect.left <= screenWidth &&
                      rect.width <= screenWidth;
    return fits ? rect : fallback;
}

uint32_t MainWindowStyle(const platform::Settings& settings, uint32_t frameStyle) {
    constexpr uint32_t kChild = 0x40000000u;     // WS_CHILD
    constexpr uint32_t kVisible = 0x10000000u;   // WS_VISIBLE
    constexpr uint32_t kDisabled = 0x08000000u;  // WS_DISABLED
    return settings.ReadNumber(setting::kWindowStyle, frameStyle) & ~(kChild | kVisible | kDisabled);
}

}  // namespace appcore
