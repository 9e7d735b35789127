// Names of the program's registered window messages. Each is registered by
// name (platform::RegisterMessage) when the program starts; the names are
// fixed, because other processes (a second instance, other programs that
// ask the agent to run a command or to exit) send them too.
#pragma once

namespace wmname {

inline constexpr char kRegister[] = "WM_Varnel10_Register";               // run a command (wParam id, lParam parameter)
inline constexpr char kNotification[] = "WM_Varnel10_NOTIFCATION";        // the tray icon's callback
inline constexpr char kIsMe[] = "WM_Varnel10_IsMe";                       // answered 1 by the running instance
inline constexpr char kProgress[] = "WM_Varnel10_Progress";               // phase, mark
inline constexpr char kUpdateItem[] = "WM_Varnel10_UpdateItem";           // item, list operation flag
inline constexpr char kSetMessage[] = "WM_Varnel10_SetMessage";           // global memory block with a text
inline constexpr char kUpdateComplete[] = "WM_Varnel10_UpdateComplete";   // notify, success
inline constexpr char kTalkProgress[] = "WM_Varnel10_TalkProgress";       // sent: WinInet status, text
inline constexpr char kHtmlCreated[] = "WM_Varnel10_HtmlCreated";
inline constexpr char kStartDailyUpdates[] = "WM_Varnel10_StartDailyUpdates";
inline constexpr char kStartDriverSearch[] = "WM_Varnel10_StartDriverSearch";
inline constexpr char kEndDriverSearch[] = "WM_Varnel10_EndDriverSearch";
inline constexpr char kPurchase[] = "WM_Varnel10_Purchase";
inline constexpr char kExit[] = "WM_Varnel10_Exit";
inline constexpr char kAutoUpdateNotify[] = "WM_Varnel10_AutoUpdateNotify";
inline constexpr char kSearchEnd[] = "WM_Varnel10_SearchEnd";
inline constexpr char kDownloadItemEnd[] = "WM_Varnel10_DownloadItemEnd";
inline constexpr char kDownloadUpgradeEnd[] = "WM_Varnel10_DownloadUpgradeEnd";

// Every name above, in the order the program registers them at start-up.
inline constexpr const char* kAll[] = {
    kRegister,     kNotification, kIsMe,         kProgress,          kUpdateItem,        kSetMessage,
    kUpdateComplete, kTalkProgress, kHtmlCreated, kStartDailyUpdates, kStartDriverSearch, kEndDriverSearch,
    kPurchase,     kExit,         kAutoUpdateNotify, kSearchEnd,     kDownloadItemEnd,   kDownloadUpgradeEnd,
};

// The shell's own message for a restarted taskbar (not one of the program's).
inline constexpr char kTaskbarCreated[] = "TaskbarCreated";

}  // namespace wmname
