// The tray's decisions: tooltip cases, menu model, mouse and balloon actions,
// the "Updates" command, field limits, the check summary and the phase table.
#include <gtest/gtest.h>

#include "engine/tray_model.h"
#include "engine/tray_summary.h"

namespace {

using engine::TrayState;

TEST(TrayTooltip, EachCaseInItsOrder) {
    TrayState s;
    s.outOfDateCount = 3;
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: 3 updates available");
    s.outOfDateCount = 1;
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: 1 update available");
    s.outOfDateCount = -2;
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: No updates available");
    s.loginError = "bad password";
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: login error");
    s.workerRunning = true;
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: scanning");
    s.selfUpdateState = 1;
    EXPECT_EQ(engine::TooltipText(s).rfind("A new version of Zelto Varnel\n", 0), 0u);
    s.connected = false;
    EXPECT_EQ(engine::TooltipText(s), "Zelto Varnel: not connected");
}

TEST(TrayFields, CutAtACharacterBoundaryToFit) {
    EXPECT_EQ(engine::FitToField("abc", 4), "abc");
    EXPECT_EQ(engine::FitToField("abcd", 4), "abc");
    EXPECT_EQ(engine::FitToField(std::string(300, 'x'), engine::kBalloonTextBytes).size(), 255u);
    // A double-byte code page where 0x81 begins a character: the pair that
    // would be split is left out whole.
    const auto lead = [](unsigned char b) { return b == 0x81; };
    EXPECT_EQ(engine::FitToField("ab\x81\x40z", 4, lead), "ab");
    EXPECT_EQ(engine::FitToField("a\x81\x40z", 4, lead), "a\x81\x40");
}

TEST(TrayMenu, UpdatesItemFollowsConnectionLoginAndList) {
    engine::TrayMenuInput in;
    in.state.connected = false;
    EXPECT_EQ(engine::BuildTrayMenu(in).updatesText, "Varnel: Connection Error");
    EXPECT_FALSE(engine::MenuAsksForList(in.state));
    in.state.connected = true;
    in.state.loginError = "denied";
    EXPECT_EQ(engine::BuildTrayMenu(in).updatesText, "Varnel: Login Error");
    in.state.loginError.clear();
    EXPECT_TRUE(engine::MenuAsksForList(in.state));

    in.listAnswered = false;
    EXPECT_EQ(engine::BuildTrayMenu(in).updatesText, "Click here for your updates");

    in.listAnswered = true;
    auto menu = engine::BuildTrayMenu(in);
    EXPECT_EQ(menu.updatesText, "No updates available");
    EXPECT_FALSE(menu.updatesEnabled);

    in.names = {"  Alpha Editor 2.1 ", "\tBeta Player"};
    menu = engine::BuildTrayMenu(in);
    EXPECT_EQ(menu.updatesText, "2 updates available");
    EXPECT_TRUE(menu.updateNames.empty()) << "no popup without the user-report flag";
    in.userReportFlag = true;
    menu = engine::BuildTrayMenu(in);
    EXPECT_EQ(menu.updateNames, (std::vector<std::string>{"Alpha Editor 2.1", "Beta Player"}));
    in.names.resize(1);
    EXPECT_EQ(engine::BuildTrayMenu(in).updatesText, "1 update available");
}

TEST(TrayMenu, ScanStopAndExitEnabling) {
    engine::TrayMenuInput in;
    auto menu = engine::BuildTrayMenu(in);
    EXPECT_TRUE(menu.scanEnabled && menu.exitEnabled && !menu.stopEnabled);
    in.state.workerRunning = true;
    menu = engine::BuildTrayMenu(in);
    EXPECT_TRUE(!menu.scanEnabled && menu.stopEnabled);
    in.state.workerRunning = false;
    in.askingAboutUpdate = true;
    menu = engine::BuildTrayMenu(in);
    EXPECT_TRUE(!menu.scanEnabled && !menu.exitEnabled);
}

TEST(TrayMouse, BalloonGuardSelfUpdateAndDoubleClick) {
    using engine::TrayAction;
    using engine::TrayMouse;
    EXPECT_EQ(engine::MouseAction(TrayMouse::Move, true, 0), TrayAction::UpdateTooltip);
    EXPECT_EQ(engine::MouseAction(TrayMouse::RightUp, false, 1), TrayAction::ShowMenu);
    EXPECT_EQ(engine::MouseAction(TrayMouse::LeftUp, false, 1), TrayAction::AutoUpdateNotify);
    EXPECT_EQ(engine::MouseAction(TrayMouse::LeftUp, false, 0), TrayAction::ShowMenu);
    EXPECT_EQ(engine::MouseAction(TrayMouse::LeftUp, true, 0), TrayAction::None);
    EXPECT_EQ(engine::MouseAction(TrayMouse::LeftDoubleClick, false, 0), TrayAction::OpenMyPage);
    EXPECT_EQ(engine::MouseAction(TrayMouse::LeftDoubleClick, true, 0), TrayAction::None);
}

TEST(TrayCommands, BalloonClickUpdatesCommandAndNamePopup) {
    TrayState s;
    EXPECT_EQ(engine::BalloonClickAction(s), engine::BalloonClick::MyPage);
    s.selfUpdateState = 1;
    EXPECT_EQ(engine::BalloonClickAction(s), engine::BalloonClick::AutoUpdateNotify);
    s.selfUpdateState = 0;
    s.loginError = "denied";
    EXPECT_EQ(engine::BalloonClickAction(s), engine::BalloonClick::Updates);
    EXPECT_EQ(engine::UpdatesCommandAction(s, "").errorText, "denied");
    s.connected = false;
    EXPECT_EQ(engine::UpdatesCommandAction(s, "").errorText.rfind("Zelto Varnel could not connect", 0), 0u);

    s = TrayState{};
    s.outOfDateCount = 2;
    EXPECT_TRUE(engine::UpdatesCommandAction(s, "Click here for your updates").openMyPage);
    EXPECT_TRUE(engine::UpdatesCommandAction(s, "2 updates available").openMyPage);
    EXPECT_FALSE(engine::UpdatesCommandAction(s, "3 updates available").openMyPage);
    s.outOfDateCount = 1;
    EXPECT_TRUE(engine::UpdatesCommandAction(s, "1 update available").openMyPage);
    s.outOfDateCount = 0;
    EXPECT_FALSE(engine::UpdatesCommandAction(s, "No updates available").openMyPage);

    EXPECT_EQ(engine::BalloonKind(7), 1);
    EXPECT_EQ(engine::PulseIconId(33), 160);
}

engine::CheckSummaryInput Success() {
    engine::CheckSummaryInput in;
    in.notify = true;
    in.success = true;
    in.userReportFlag = true;
    in.outOfDateCount = 4;
    in.computer = "DESK-7";
    in.scanDate = "06/28/2024 10:16";
    in.firstRun = true;
    return in;
}

TEST(CheckSummary, SuccessWithNotice) {
    auto in = Success();
    in.pulseIcon = true;
    const auto s = engine::BuildCheckSummary(in);
    EXPECT_EQ(s.title, "Zelto Varnel");
    EXPECT_EQ(s.balloonText,
              "updates: 4 available\ncomputer: DESK-7\nscan:  successful\nscanned on: 06/28/2024 10:16"
              "\n\nClick here to go to my Zelto Varnel page.");
    EXPECT_EQ(s.balloonKind, 1);
    EXPECT_TRUE(s.startPulse);
    EXPECT_FALSE(s.playSound);
    EXPECT_EQ(*s.eventText, "updates: 4 available\ncomputer: DESK-7\nscan:  successful\nscanned on: 06/28/2024 10:16");
    EXPECT_TRUE(s.clearFirstRun);
}

TEST(CheckSummary, UnregisteredTextIsCutToFitNotDropped) {
    auto in = Success();
    in.userReportFlag = false;
    in.computer = "WORKSTATION-015";
    in.scanDate = "Wednesday, September 25, 2024 11:59:59 PM";
    const auto s = engine::BuildCheckSummary(in);
    EXPECT_EQ(s.title, "Zelto Varnel - Unregistered");
    EXPECT_EQ(s.balloonText.size(), 255u);
    EXPECT_EQ(s.balloonText.rfind("updates: 4 available\ncomputer: WORKSTATION-015", 0), 0u);
}

TEST(CheckSummary, WithoutNoticeOnlyTheEventWithZero) {
    auto in = Success();
    in.notify = false;
    in.sound = true;
    const auto s = engine::BuildCheckSummary(in);
    EXPECT_TRUE(s.balloonText.empty());
    EXPECT_FALSE(s.playSound);
    EXPECT_EQ(s.eventText->rfind("updates: 0 available", 0), 0u);
}

TEST(CheckSummary, FailuresShowErrorBalloonsOnlyForLoginOrConnection) {
    auto in = Success();
    in.success = false;
    auto s = engine::BuildCheckSummary(in);
    EXPECT_TRUE(s.balloonText.empty());
    EXPECT_FALSE(s.eventText);
    EXPECT_FALSE(s.clearFirstRun);
    in.loginError = "denied";
    s = engine::BuildCheckSummary(in);
    EXPECT_EQ(s.balloonKind, 3);
    EXPECT_EQ(s.balloonText,
              "Login Error\ncomputer: DESK-7\nscan:  fail\nscanned on: 06/28/2024 10:16\n\n"
              "Click here for error message.");
    in.connected = false;
    s = engine::BuildCheckSummary(in);
    EXPECT_EQ(s.balloonText, "Connection Error\ncomputer: DESK-7\nscan:  fail\n\nClick here for error message.");
}

TEST(StatusBar, IdleTalkAndLastCheckTexts) {
    EXPECT_EQ(engine::IdleStatusText(3),
              "This application is set to scan once every week. Press 'Check Updates' button to check for updates "
              "now.");
    EXPECT_EQ(engine::FrequencyStatusText(5), "scan once every day");
    EXPECT_EQ(engine::FrequencyStatusText(9), "scan manually");
    EXPECT_EQ(engine::TalkStatusText("Sending request"), "Checking for updates: Sending request");
    std::tm t{};
    t.tm_mon = 5;
    t.tm_mday = 8;
    t.tm_hour = 15;
    t.tm_min = 4;
    EXPECT_EQ(engine::LastCheckText(t), "Last check: 06/08 03:04 PM");
}

TEST(StatusBar, PhaseTable) {
    auto d = engine::PhaseStep(1, 1, false, "");
    EXPECT_TRUE(d.setScanning && d.showProgress && d.hideRedText && !d.paneText);
    EXPECT_EQ(d.progress, 5);
    EXPECT_FALSE(engine::PhaseStep(1, 0, false, "").setScanning);
    EXPECT_EQ(*engine::PhaseStep(4, 0, false, "").paneText, "Your applications and drivers are now being scanned.");
    EXPECT_EQ(engine::PhaseStep(5, 0, false, "").progress, 50);
    d = engine::PhaseStep(6, 1, true, "");
    EXPECT_EQ(*d.paneText, "Stopped");
    EXPECT_TRUE(d.hideProgress);
    d = engine::PhaseStep(7, 1, false, "");
    EXPECT_EQ(*d.paneText, "Completed");
    EXPECT_TRUE(d.lastCheckTime && d.clearScanning && d.hideProgress);
    EXPECT_EQ(d.progress, 100);
    d = engine::PhaseStep(7, 0, true, "Server busy");
    EXPECT_EQ(*d.paneText, "Server busy");
    EXPECT_TRUE(d.showRedText && !d.lastCheckTime && !d.clearScanning);
    EXPECT_EQ(*engine::PhaseStep(7, 1, true, "").paneText, "Stopped");
}

}  // namespace
