#include "engine/worker_posts.h"

#include <exception>
#include <string>

#include "platform/log.h"
#include "platform/message_names.h"
#include "platform/notifier.h"
#include "platform/post_safe.h"

namespace engine {
namespace {

constexpr uint32_t kWmCommand = 0x0111;

// Posts to the main window; logs a failure under `what` and answers false.
bool PostToMain(const char* what, const char* name, uintptr_t wParam, intptr_t lParam) {
    try {
        const platform::WindowHandle window = platform::MainWindow();
        if (!window) return false;
        return platform::Notifier().Post(window, platform::RegisterMessage(name), wParam, lParam);
    } catch (const std::exception& e) {
        vnlog::Write(what, e);
    } catch (...) {
        vnlog::Write(std::string(what) + " in catch all block.");
    }
    return false;
}

}  // namespace

bool PostSafeProgress(int phase, int mark) {
    return PostToMain("*** Error PostSafeProgress:", wmname::kProgress, static_cast<uintptr_t>(phase),
                      static_cast<intptr_t>(mark & 0xFF));
}

bool PostSafeUpdateComplete(int notify, int success) {
    return PostToMain("*** Error PostSafeUpdateComplete:", wmname::kUpdateComplete,
                      static_cast<uintptr_t>(notify & 0xFF), static_cast<intptr_t>(success & 0xFF));
}

bool PostStartDailyUpdates() {
    return PostToMain("*** Error PostStartDailyUpdates:", wmname::kStartDailyUpdates, 0, 0);
}

bool PostStartDriverSearch() {
    return PostToMain("*** Error PostStartDriverSearch:", wmname::kStartDriverSearch, 0, 0);
}

bool SendEndDriverSearch() {
    try {
        if (const platform::WindowHandle window = platform::MainWindow())
            return platform::Notifier().Send(window, platform::RegisterMessage(wmname::kEndDriverSearch), 0, 0) == 1;
    } catch (...) {
        vnlog::Write("*** Error SendEndDriverSearch: in catch all block.");
    }
    return false;
}

void SendClearSoftwareView() {
    try {
        if (const platform::WindowHandle window = platform::MainWindow())
            platform::Notifier().Send(window, kWmCommand, kCommandClearSoftwareView, 0);
    } catch (...) {
        vnlog::Write("*** Error SendClearSoftwareView: in catch all block.");
    }
}

}  // namespace engine
