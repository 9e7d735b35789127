// The tray's decisions: tooltip, menu model, mouse and balloon actions.
#include "engine/tray_model.h"

#include "platform/codepage.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace engine {

int PulseIconId(int frame) { return kFirstPulseIcon + (frame < 0 ? 0 : frame % kPulseFrames); }

std::string FitToField(const std::string& text, size_t fieldBytes, LeadBytePredicate isLeadByte) {
    if (!isLeadByte) isLeadByte = &platform::IsAnsiLeadByte;
    if (fieldBytes == 0) return std::string();
    const size_t room = fieldBytes - 1;
    if (text.size() <= room) return text;
    // Walk whole characters so that a lead byte is never left without its trail byte.
    size_t end = 0;
    while (end < room) {
        const size_t width = isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > room) break;
        end += width;
    }
    return text.substr(0, end);
}

std::string UpdateCountText(int count) {
    if (count == 1) return platform::LoadText(kStrOneUpdate);
    if (count < 2) return platform::LoadText(kStrNoUpdates);
    return textutil::Format(platform::LoadText(kStrUpdatesAvailable).c_str(), count);
}

std::string TooltipText(const TrayState& state) {
    const std::string title = platform::LoadText(kStrTitle);
    std::string tip;
    if (!state.connected) tip = title + ": not connected";
    else if (state.selfUpdateState == 1) tip = platform::LoadText(kStrNewVersionReady);
    else if (state.workerRunning) tip = title + ": scanning";
    else if (!state.loginError.empty()) tip = title + ": login error";
    else tip = title + ": " + UpdateCountText(state.outOfDateCount);
    return FitToField(tip, kTooltipBytes);
}

bool MenuAsksForList(const TrayState& state) { return state.connected && state.loginError.empty(); }

TrayMenuModel BuildTrayMenu(const TrayMenuInput& input) {
    TrayMenuModel menu;
    if (!input.state.connected) {
        menu.updatesText = "Varnel: Connection Error";
    } else if (!input.state.loginError.empty()) {
        menu.updatesText = "Varnel: Login Error";
    } else if (input.listAnswered.value_or(false)) {
        std::vector<std::string> names;
        for (const std::string& name : input.names) names.push_back(textutil::Trim(name));
        const int count = static_cast<int>(names.size());
        if (count == 0) {
            menu.updatesText = platform::LoadText(kStrNoUpdates);
            menu.updatesEnabled = false;
        } else {
            menu.updatesText = UpdateCountText(count);
            if (input.userReportFlag) {
                // The popup holds at most the ids its range has.
                if (names.size() > size_t(kLastUpdateNameCmd - kFirstUpdateNameCmd + 1))
                    names.resize(kLastUpdateNameCmd - kFirstUpdateNameCmd + 1);
                menu.updateNames = std::move(names);
            }
        }
    } else {
        menu.updatesText = platform::LoadText(kStrClickForUpdates);
    }
    menu.stopEnabled = input.state.workerRunning;
    menu.scanEnabled = !input.state.workerRunning && !input.askingAboutUpdate;
    menu.exitEnabled = !input.askingAboutUpdate;
    return menu;
}

TrayAction MouseAction(TrayMouse event, bool balloonUp, uint32_t selfUpdateState) {
    switch (event) {
        case TrayMouse::Move: return TrayAction::UpdateTooltip;
        case TrayMouse::LeftUp:
        case TrayMouse::RightUp:
            if (balloonUp) return TrayAction::None;
            if (event == TrayMouse::LeftUp && selfUpdateState == 1) return TrayAction::AutoUpdateNotify;
            return TrayAction::ShowMenu;
        case TrayMouse::LeftDoubleClick: return balloonUp ? TrayAction::None : TrayAction::OpenMyPage;
        default: return TrayAction::None;
    }
}

BalloonClick BalloonClickAction(const TrayState& state) {
    if (state.connected && state.selfUpdateState == 1) return BalloonClick::AutoUpdateNotify;
    if (state.connected && state.loginError.empty()) return BalloonClick::MyPage;
    return BalloonClick::Updates;
}

UpdatesCommand UpdatesCommandAction(const TrayState& state, const std::string& statusText) {
    UpdatesCommand command;
    command.errorText = state.connected ? state.loginError : platform::LoadText(kStrConnectionProblem);
    if (!command.errorText.empty()) return command;
    // A single update reads string 106, not string 124: it opens the page too.
    command.openMyPage = statusText == platform::LoadText(kStrClickForUpdates) ||
                         (state.outOfDateCount >= 1 && statusText == UpdateCountText(state.outOfDateCount));
    return command;
}

int BalloonKind(int kind) { return kind >= 0 && kind <= 3 ? kind : 1; }

}  // namespace engine
