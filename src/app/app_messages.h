// The numbers of the program's registered window messages in this process,
// registered by name at start-up (names in platform/message_names.h).
#pragma once

#include "platform/win/win.h"

namespace app {

struct RegisteredMessages {
    UINT registerCommand, notification, isMe, progress, updateItem, setMessage, updateComplete, talkProgress,
        htmlCreated, startDailyUpdates, startDriverSearch, endDriverSearch, purchase, exit, autoUpdateNotify,
        searchEnd, downloadItemEnd, downloadUpgradeEnd;
    UINT taskbarCreated;  // the shell's message when the taskbar is re-created
};

// Registers every message on the first call; later calls answer the same numbers.
const RegisteredMessages& Messages();

}  // namespace app
