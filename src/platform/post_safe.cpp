#include "platform/post_safe.h"

#include <atomic>
#include <exception>

#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/string_table.h"
#include "platform/text_block.h"

namespace platform {
namespace {

std::atomic<platform::WindowHandle> g_mainWindow{nullptr};

bool PostText(const std::string& text) {
    const platform::WindowHandle window = MainWindow();
    if (!window) return false;
    const uintptr_t block = MakeTextBlock(text);
    if (!block) return false;
    static const uint32_t message = platform::RegisterMessage(wmname::kSetMessage);
    if (platform::Notifier().Post(window, message, block, 0)) return true;
    // Undelivered, nobody else would free it.
    FreeTextBlock(block);
    return false;
}

void LogFailure(const char* prefix, const std::exception* error) {
    if (error) vnlog::Write(prefix, *error);
    else vnlog::Write(std::string(prefix) + " in catch all block.");
}

}  // namespace

void SetMainWindow(platform::WindowHandle window) { g_mainWindow.store(window); }

platform::WindowHandle MainWindow() { return g_mainWindow.load(); }

bool PostSafeMessage(const std::string& text) {
    try {
        return PostText(text);
    } catch (const std::exception& e) {
        LogFailure("*** Error PostSafeMessage(CString&):", &e);
    } catch (...) {
        LogFailure("*** Error PostSafeMessage(CString&):", nullptr);
    }
    return false;
}

bool PostSafeMessage(int stringId) {
    try {
        return PostText(platform::LoadText(stringId));
    } catch (const std::exception& e) {
        LogFailure("*** Error PostSafeMessage(UIND):", &e);
    } catch (...) {
        LogFailure("*** Error PostSafeMessage(UIND):", nullptr);
    }
    return false;
}

}  // namespace platform
