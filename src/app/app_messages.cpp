#include "app/app_messages.h"

#include "platform/message_names.h"

namespace app {

const RegisteredMessages& Messages() {
    static const RegisteredMessages messages = [] {
        RegisteredMessages m{};
        m.registerCommand = RegisterWindowMessageA(wmname::kRegister);
        m.notification = RegisterWindowMessageA(wmname::kNotification);
        m.isMe = RegisterWindowMessageA(wmname::kIsMe);
        m.progress = RegisterWindowMessageA(wmname::kProgress);
        m.updateItem = RegisterWindowMessageA(wmname::kUpdateItem);
        m.setMessage = RegisterWindowMessageA(wmname::kSetMessage);
        m.updateComplete = RegisterWindowMessageA(wmname::kUpdateComplete);
        m.talkProgress = RegisterWindowMessageA(wmname::kTalkProgress);
        m.htmlCreated = RegisterWindowMessageA(wmname::kHtmlCreated);
        m.startDailyUpdates = RegisterWindowMessageA(wmname::kStartDailyUpdates);
        m.startDriverSearch = RegisterWindowMessageA(wmname::kStartDriverSearch);
        m.endDriverSearch = RegisterWindowMessageA(wmname::kEndDriverSearch);
        m.purchase = RegisterWindowMessageA(wmname::kPurchase);
        m.exit = RegisterWindowMessageA(wmname::kExit);
        m.autoUpdateNotify = RegisterWindowMessageA(wmname::kAutoUpdateNotify);
        m.searchEnd = RegisterWindowMessageA(wmname::kSearchEnd);
        m.downloadItemEnd = RegisterWindowMessageA(wmname::kDownloadItemEnd);
        m.downloadUpgradeEnd = RegisterWindowMessageA(wmname::kDownloadUpgradeEnd);
        m.taskbarCreated = RegisterWindowMessageA(wmname::kTaskbarCreated);
        return m;
    }();
    return messages;
}

}  // namespace app
