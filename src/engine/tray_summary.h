// What follows a check and what the status bar shows, decided without a
// window: the check summary (balloon, pulse, sound, event-log text, "First
// Run"), the status bar's idle and talk texts and the display of each
// progress phase of "WM_Varnel10_Progress".
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace engine {

inline constexpr int kStrSummary = 126;           // "updates:\t%d available\ncomputer:\t%s\n..."
inline constexpr int kStrIdleStatus = 127;        // "This application is set to %s. ..."
inline constexpr int kStrClickMyPage = 133;       // "\n\nClick here to go to my Zelto Varnel page."
inline constexpr int kStrRegisterPitch = 146;     // "\n\nZelto's free Varnel app shows ..."
inline constexpr int kStrUnregistered = 148;      // " - Unregistered"
inline constexpr int kStrLoginFailed = 157;       // "Login Error\ncomputer:\t%s\n..."
inline constexpr int kStrConnectionFailed = 168;  // "Connection Error\ncomputer:\t%s\n..."
inline constexpr int kStrBeingScanned = 325;
inline constexpr int kStrCheckingFor = 345;  // "Checking for updates: %s"

struct CheckSummaryInput {
    bool notify = false;
    bool success = false;
    bool userReportFlag = false;
    bool connected = true;
    std::string loginError;
    int outOfDateCount = 0;
    std::string computer;
    std::string scanDate;  // the watch list's scan date text
    bool pulseIcon = false;
    bool sound = false;
    bool firstRun = false;
};

struct CheckSummary {
    std::string title;
    std::string balloonText;  // empty: no balloon
    int balloonKind = 0;      // 1 information, 3 error
    bool startPulse = false;
    bool playSound = false;
    std::optional<std::string> eventText;  // the information event, tabs made spaces
    bool clearFirstRun = false;
};

// The summary of a check that ended ("WM_Varnel10_UpdateComplete").
CheckSummary BuildCheckSummary(const CheckSummaryInput& input);

// Status text of a frequency index ("scan once every day", ...); unknown
// indices read as "scan manually", index 5 as a daily check.
std::string FrequencyStatusText(uint32_t frequency);
// String 127 with that status text: pane 0 when nothing runs.
std::string IdleStatusText(uint32_t frequency);
// String 345 with the transport's progress text.
std::string TalkStatusText(const std::string& progress);
// Pane 2 after a completed check: "Last check: %m/%d %I:%M %p" of local time.
std::string LastCheckText(const std::tm& localTime);

// What one progress phase does to the status bar and the frame's flag.
struct PhaseDisplay {
    std::optional<std::string> paneText;  // pane 0
    int progress = -1;                    // -1: unchanged
    bool showProgress = false;
    bool hideProgress = false;
    bool hideRedText = false;
    bool showRedText = false;    // pane 0 shows the red error text instead
    bool lastCheckTime = false;  // pane 2 = LastCheckText(now)
    bool setScanning = false;
    bool clearScanning = false;
};
// `stopped`: the user stopped the run; `redText`: the error text set for the bar.
PhaseDisplay PhaseStep(int phase, int mark, bool stopped, const std::string& redText);

}  // namespace engine
