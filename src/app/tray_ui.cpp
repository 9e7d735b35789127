#include "app/tray_ui.h"

#include <mmsystem.h>

#include "app/app_messages.h"
#include "engine/engine_system.h"
#include "engine/tray_summary.h"
#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "resource.h"
#include "service/scan_report.h"

namespace app {

// The tray's menu items carry the frame's command ids.
static_assert(engine::kCmdUpdates == ID_UPDATES && engine::kCmdMyPage == ID_MY_PAGE);
static_assert(engine::kFirstUpdateNameCmd == ID_UPDATE_NAME_FIRST && engine::kLastUpdateNameCmd == ID_UPDATE_NAME_LAST);

void CTrayUi::Attach(HWND window) {
    window_ = window;
    icon_.prepareMenu = [this](HMENU popup) { PrepareMenu(popup); };
    icon_.mouseMoved = [this] { UpdateTooltip(); };
    icon_.selfUpdateState = [this] { return host_.TraySelfUpdateState(); };
    icon_.balloonClicked = [this] { OnBalloonClick(); };
}

engine::TrayState CTrayUi::State() {
    engine::TrayState state;
    state.connected = engine::EngineSystem().IsConnected();
    state.selfUpdateState = host_.TraySelfUpdateState();
    state.workerRunning = host_.TrayWorkerRunning();
    state.loginError = host_.TrayLoginError();
    if (const vnxml::IScanReportService* reports = vnxml::ScanReportService())
        state.outOfDateCount = reports->OutOfDateCount();
    return state;
}

void CTrayUi::UpdateTooltip() { icon_.SetTooltip(engine::TooltipText(State())); }

void CTrayUi::PrepareMenu(HMENU popup) {
    engine::TrayMenuInput in;
    in.state = State();
    in.askingAboutUpdate = host_.TrayAskingAboutUpdate();
    if (engine::MenuAsksForList(in.state)) {
        vnxml::IScanReportService* reports = vnxml::ScanReportService();
        in.listAnswered = reports && reports->RequestOutOfDateList(false);
        if (*in.listAnswered) {
            reports->CopyOutOfDateNames(in.names);
            in.userReportFlag = reports->UserReportFlag();
        }
    }
    const engine::TrayMenuModel model = engine::BuildTrayMenu(in);
    statusText_ = model.updatesText;

    if (!model.updateNames.empty()) {
        const HMENU names = CreatePopupMenu();
        for (size_t i = 0; i < model.updateNames.size(); ++i)
            AppendMenuA(names, MF_STRING, engine::kFirstUpdateNameCmd + i,
                        textutil::MenuLabel(model.updateNames[i]).c_str());
        ModifyMenuA(popup, engine::kCmdUpdates, MF_BYCOMMAND | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(names),
                    textutil::MenuLabel(model.updatesText).c_str());
    } else {
        ModifyMenuA(popup, engine::kCmdUpdates,
                    MF_BYCOMMAND | MF_STRING | (model.updatesEnabled ? MF_ENABLED : MF_DISABLED | MF_GRAYED),
                    engine::kCmdUpdates, textutil::MenuLabel(model.updatesText).c_str());
    }
    const auto enable = [popup](int id, bool on) {
        EnableMenuItem(popup, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
    };
    enable(engine::kCmdStopScan, model.stopEnabled);
    enable(engine::kCmdScanNow, model.scanEnabled);
    enable(engine::kCmdExit, model.exitEnabled);
}

// The command table opens the page (the "tag=client" address and its
// 5-second limit); the tray only asks for it.
void CTrayUi::OpenMyPage() { host_.TrayOpenMyPage(); }

void CTrayUi::OnBalloonClick() {
    switch (engine::BalloonClickAction(State())) {
        case engine::BalloonClick::AutoUpdateNotify: PostMessageA(window_, Messages().autoUpdateNotify, 0, 0); break;
        case engine::BalloonClick::MyPage: PostMessageA(window_, WM_COMMAND, engine::kCmdMyPage, 0); break;
        case engine::BalloonClick::Updates: PostMessageA(window_, WM_COMMAND, engine::kCmdUpdates, 0); break;
    }
}

bool CTrayUi::OnCommand(int id) {
    if (id == engine::kCmdUpdates) {
        const engine::UpdatesCommand command = engine::UpdatesCommandAction(State(), statusText_);
        if (!command.errorText.empty()) host_.TrayShowError(command.errorText);
        else if (command.openMyPage) OpenMyPage();
        return true;
    }
    return false;
}

void CTrayUi::OnCheckComplete(bool notify, bool success) {
    platform::Settings& settings = platform::AppSettings();
    const vnxml::IScanReportService* reports = vnxml::ScanReportService();
    engine::CheckSummaryInput in;
    in.notify = notify;
    in.success = success;
    in.userReportFlag = reports && reports->UserReportFlag();
    in.outOfDateCount = reports ? reports->OutOfDateCount() : 0;
    in.connected = engine::EngineSystem().IsConnected();
    in.loginError = host_.TrayLoginError();
    in.computer = settings.store().ComputerName();
    in.scanDate = host_.TrayScanDateText();
    in.pulseIcon = settings.ReadFlag(setting::kPulseIcon, setting::kPulseIconDefault);
    in.sound = settings.ReadFlag(setting::kSound, setting::kSoundDefault);
    in.firstRun = settings.ReadFlag(setting::kFirstRun, setting::kFirstRunDefault);
    const engine::CheckSummary summary = engine::BuildCheckSummary(in);

    std::string line = success
                           ? "Check complete: " + std::to_string(notify ? in.outOfDateCount : 0) + " updates available"
                           : "Check failed: " + in.loginError;
    if (success && reports) {
        std::vector<std::string> names;
        reports->CopyOutOfDateNames(names);
        for (size_t i = 0; i < names.size(); ++i) line += (i == 0 ? ": " : ", ") + names[i];
    }
    vnlog::Write(line);

    if (summary.startPulse) icon_.StartPulse();
    if (!summary.balloonText.empty())
        icon_.ShowBalloon(summary.title, summary.balloonText, summary.balloonKind, engine::kBalloonTimeoutMs);
    if (summary.playSound) {
        const std::string file = settings.ReadText(setting::kSoundFile);
        PlaySoundA(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
    }
    if (summary.eventText) platform::EventLog().Report(platform::EventKind::CheckSummary, *summary.eventText);
    if (summary.clearFirstRun) settings.WriteFlag(setting::kFirstRun, false);

    DeleteFilesIn(platform::TempHtmlFolder());
    host_.TrayRefreshViews();
}

int DeleteFilesIn(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int deleted = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (DeleteFileA((folder + "\\" + found.cFileName).c_str())) ++deleted;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return deleted;
}

}  // namespace app
