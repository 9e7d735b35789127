// What the notification-area icon shows and does, decided without a window:
// the tooltip, the tray menu's variable items, the mouse and balloon-click
// actions, the "Updates" command, the balloon's limits and the pulse
// animation's frames. The Windows icon (app/tray_icon.h) and the frame's tray
// glue (app/tray_ui.h) carry these decisions out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// Identifiers of the icon, its menu and their commands.
inline constexpr int kTrayId = 134;        // icon, tooltip string and menu resource
inline constexpr int kCmdUpdates = 32774;  // "Updates": error text or the user's page
inline constexpr int kCmdMyPage = 32775;   // "Go to my Zelto Varnel page" (default item)
inline constexpr int kCmdExit = 32771;
inline constexpr int kCmdScanNow = 32892;
inline constexpr int kCmdStopScan = 32893;
inline constexpr int kCmdSettings = 32894;
inline constexpr int kCmdSupportCenter = 32895;
inline constexpr int kCmdAbout = 32896;
inline constexpr int kFirstUpdateNameCmd = 33000;  // the names' popup: 33000, 33001, ...
inline constexpr int kLastUpdateNameCmd = 34000;

// String-table entries the tray uses.
inline constexpr int kStrOneUpdate = 106;        // "1 update available"
inline constexpr int kStrClickForUpdates = 118;  // "Click here for your updates"
inline constexpr int kStrNewVersionReady = 120;
inline constexpr int kStrUpdatesAvailable = 124;  // "%d updates available"
inline constexpr int kStrNoUpdates = 125;
inline constexpr int kStrConnectionProblem = 169;
inline constexpr int kStrTitle = 57344;  // "Zelto Varnel"

// Size limits of the shell's icon record (bytes, terminator included).
inline constexpr size_t kTooltipBytes = 128;
inline constexpr size_t kBalloonTextBytes = 256;
inline constexpr size_t kBalloonTitleBytes = 64;
inline constexpr uint32_t kBalloonTimeoutMs = 6000;
inline constexpr uint32_t kBalloonGuardMs = 500;

// The pulse animation: icon resources 159-190 in order, then from the start,
// one frame per tick of a 100 ms timer.
inline constexpr int kFirstPulseIcon = 159;
inline constexpr int kPulseFrames = 32;
inline constexpr uint32_t kPulseTickMs = 100;
int PulseIconId(int frame);  // the resource of frame `frame` (any non-negative count wraps)

// Text cut to fit a field of `fieldBytes` bytes with its terminator, never
// inside a double-byte character of the ANSI code page (`isLeadByte`
// answers for it; tests pass a double-byte code page's rule).
using LeadBytePredicate = bool (*)(unsigned char);
std::string FitToField(const std::string& text, size_t fieldBytes, LeadBytePredicate isLeadByte = nullptr);

// What the tray needs to know about the program at one moment.
struct TrayState {
    bool connected = true;
    uint32_t selfUpdateState = 0;  // 1: a new program version waits for the user's click
    bool workerRunning = false;
    std::string loginError;  // the watch list's login error text
    int outOfDateCount = 0;
};

// The tooltip for a mouse move over the icon, already cut to fit.
std::string TooltipText(const TrayState& state);

// "1 update available", "%d updates available" or, below 1, "No updates available".
std::string UpdateCountText(int count);

// The tray menu as it is shown: the "Updates" item (a plain item or a
// popup of the out-of-date names) and the enabling of the others.
struct TrayMenuModel {
    std::string updatesText;  // also the frame's status text
    bool updatesEnabled = true;
    std::vector<std::string> updateNames;  // non-empty: "Updates" is a popup of these, ids from 33000
    bool stopEnabled = false;
    bool scanEnabled = true;
    bool exitEnabled = true;
};

struct TrayMenuInput {
    TrayState state;
    bool askingAboutUpdate = false;  // the frame is asking the user about a program update
    // The out-of-date list request: nothing when it was not made (offline,
    // login error), false when it failed, true with the names otherwise.
    std::optional<bool> listAnswered;
    std::vector<std::string> names;
    bool userReportFlag = false;
};

TrayMenuModel BuildTrayMenu(const TrayMenuInput& input);

// Whether the menu needs the out-of-date list (no connection or login error
// means the "Updates" item shows that instead).
bool MenuAsksForList(const TrayState& state);

// The mouse events of the icon's callback message and what each asks for.
enum class TrayMouse { Move, LeftUp, RightUp, LeftDoubleClick, BalloonShown, BalloonHidden, BalloonClicked, Other };
enum class TrayAction {
    None,
    UpdateTooltip,
    AutoUpdateNotify,  // post "WM_Varnel10_AutoUpdateNotify" to the frame
    ShowMenu,
    OpenMyPage,  // command 32775, the frame to the foreground
};
// `balloonUp` is the guard that keeps the click dismissing a balloon from
// doing anything else. Button releases also stop the pulse (not shown here).
TrayAction MouseAction(TrayMouse event, bool balloonUp, uint32_t selfUpdateState);

// A click on the balloon: the program update's question, the user's page,
// or the "Updates" command (which shows the error).
enum class BalloonClick { AutoUpdateNotify, MyPage, Updates };
BalloonClick BalloonClickAction(const TrayState& state);

// The "Updates" command: the error to show (connection problem or login
// error), else whether the status text asks for the user's page.
struct UpdatesCommand {
    std::string errorText;  // shown in the error window when not empty
    bool openMyPage = false;
};
UpdatesCommand UpdatesCommandAction(const TrayState& state, const std::string& statusText);

// The balloon's kind: 0 none, 1 information, 2 warning, 3 error; anything else is information.
int BalloonKind(int kind);

}  // namespace engine
