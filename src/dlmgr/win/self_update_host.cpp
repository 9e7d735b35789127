#include "dlmgr/win/self_update_host.h"

#include <shellapi.h>

#include "platform/log.h"
#include "platform/string_table.h"

namespace dlmgr {
namespace {

constexpr int kTitleId = 57344;   // "Zelto Varnel"
constexpr int kOfferId = 120;     // "A new version of Zelto Varnel\n is ready to be installed. ..."
constexpr int kQuestionId = 142;  // "A newer version of Zelto Varnel is available. ..."

}  // namespace

void CSelfUpdateHostWin::ShowOffer() {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = frame_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO | NIF_TIP;
    const std::string title = platform::LoadText(kTitleId);
    const std::string text = platform::LoadText(kOfferId);
    lstrcpynA(data.szTip, text.c_str(), sizeof data.szTip);
    lstrcpynA(data.szInfo, text.c_str(), sizeof data.szInfo);
    lstrcpynA(data.szInfoTitle, title.c_str(), sizeof data.szInfoTitle);
    data.dwInfoFlags = NIIF_INFO;
    if (!Shell_NotifyIconA(NIM_MODIFY, &data)) vnlog::Write("The update offer could not be shown on the icon");
}

bool CSelfUpdateHostWin::AskInstall() {
    // Always shown, whatever the message reporter's mode.
    return MessageBoxA(frame_, platform::LoadText(kQuestionId).c_str(), platform::LoadText(kTitleId).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

}  // namespace dlmgr
