#include "platform/message_reporter.h"

#include <atomic>

#include "platform/event_log.h"
#include "platform/string_table.h"

namespace platform {
namespace {
std::atomic<IMessagePresenter*> g_presenter{nullptr};
}  // namespace

IMessagePresenter* InstallMessagePresenter(IMessagePresenter* presenter) {
    IMessagePresenter* previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

int ReportMessage(const std::string& text, unsigned style, int captionId, WindowHandle owner) {
    EventLog().Report(EventKind::Error, text);
    IMessagePresenter* presenter = g_presenter;
    if (presenter && presenter->Interactive()) return presenter->Show(owner, text, LoadText(captionId), style);
    return (style & kMbYesNo) ? kIdYes : kIdCancel;
}

int ReportMessage(int textId, unsigned style, int captionId, WindowHandle owner) {
    return ReportMessage(LoadText(textId), style, captionId, owner);
}

}  // namespace platform
