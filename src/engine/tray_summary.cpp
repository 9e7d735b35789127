// The check summary and the status bar's texts and phase display.
#include "engine/tray_summary.h"

#include <algorithm>

#include "engine/tray_model.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace engine {
namespace {

std::string SummaryText(int count, const std::string& computer, const std::string& scanDate) {
    return textutil::Format(platform::LoadText(kStrSummary).c_str(), count, computer.c_str(), scanDate.c_str());
}

}  // namespace

CheckSummary BuildCheckSummary(const CheckSummaryInput& in) {
    CheckSummary out;
    out.title = platform::LoadText(kStrTitle);
    if (!in.userReportFlag) out.title += platform::LoadText(kStrUnregistered);
    out.title = FitToField(out.title, kBalloonTitleBytes);
    if (in.success) {
        if (in.notify) {
            // A long computer name or scan date can take the text past the
            // balloon's field: it is cut to fit rather than not shown at all.
            out.balloonText =
                FitToField(SummaryText(in.outOfDateCount, in.computer, in.scanDate) +
                               platform::LoadText(in.userReportFlag ? kStrClickMyPage : kStrRegisterPitch),
                           kBalloonTextBytes);
            // The shell's balloon draws a tab as a box, not as space: the
            // balloon gets a space for each tab of the texts.
            std::replace(out.balloonText.begin(), out.balloonText.end(), '\t', ' ');
            out.balloonKind = 1;
            out.startPulse = in.pulseIcon;
            out.playSound = in.sound;
        }
        std::string event = SummaryText(in.notify ? in.outOfDateCount : 0, in.computer, in.scanDate);
        std::replace(event.begin(), event.end(), '\t', ' ');
        out.eventText = std::move(event);
        out.clearFirstRun = in.firstRun;
        return out;
    }
    if (in.connected && in.loginError.empty()) return out;
    out.balloonKind = 3;
    out.balloonText =
        in.connected
            ? textutil::Format(platform::LoadText(kStrLoginFailed).c_str(), in.computer.c_str(), in.scanDate.c_str())
            : textutil::Format(platform::LoadText(kStrConnectionFailed).c_str(), in.computer.c_str());
    out.balloonText = FitToField(out.balloonText, kBalloonTextBytes);
    std::replace(out.balloonText.begin(), out.balloonText.end(), '\t', ' ');
    return out;
}

std::string FrequencyStatusText(uint32_t frequency) {
    switch (frequency) {
        case 1: return "scan once every 4 hours";
        case 2: return "scan once every day";
        case 3: return "scan once every week";
        case 4: return "scan once every month";
        case 5: return "scan once every day";
        default: return "scan manually";
    }
}

std::string IdleStatusText(uint32_t frequency) {
    return textutil::Format(platform::LoadText(kStrIdleStatus).c_str(), FrequencyStatusText(frequency).c_str());
}

std::string TalkStatusText(const std::string& progress) {
    return textutil::Format(platform::LoadText(kStrCheckingFor).c_str(), progress.c_str());
}

std::string LastCheckText(const std::tm& localTime) {
    char text[64] = {};
    const size_t n = std::strftime(text, sizeof text, "Last check: %m/%d %I:%M %p", &localTime);
    return std::string(text, n);
}

PhaseDisplay PhaseStep(int phase, int mark, bool stopped, const std::string& redText) {
    PhaseDisplay d;
    switch (phase) {
        case 1:
            d.progress = 5;
            d.hideRedText = true;
            d.showProgress = true;
            d.setScanning = mark != 0;
            break;
        case 2:
            d.paneText = "Getting installed software item versions...";
            d.progress = 6;
            break;
        case 3:
            d.paneText = "Enumerating drivers...";
            d.progress = 7;
            break;
        case 4:
            d.paneText = platform::LoadText(kStrBeingScanned);
            d.progress = 20;
            break;
        case 5:
            d.paneText = "Checking for updates...";
            d.progress = 50;
            break;
        case 6:
            d.paneText = stopped ? "Stopped" : "Scan completed";
            d.progress = 50;
            d.hideProgress = true;
            break;
        case 7:
            if (!redText.empty()) {
                d.paneText = redText;
                d.showRedText = true;
            } else if (stopped) {
                d.paneText = "Stopped";
            } else {
                d.paneText = "Completed";
                d.lastCheckTime = true;
            }
            d.progress = 100;
            d.hideProgress = true;
            d.clearScanning = mark != 0;
            break;
        default: break;
    }
    return d;
}

}  // namespace engine
