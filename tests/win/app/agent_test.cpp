// varnel.exe as a process: the log switch, truncation at each start, the
// one-instance rule between two processes and the clean exit. These tests
// create windows, so they need the virtual display that `make test` gives.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/app_messages.h"
#include "app/one_instance.h"
#include "common/temp_folder.h"
#include "platform/files.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/win/handles.h"
#include "registry_guard.h"
#include "resource.h"

namespace {

using namespace std::chrono_literals;

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return pred();
}

class AgentProcess {
public:
    bool Start(const std::string& args = "") {
        const std::string exe = testing_app::BuildPath("src/app/varnel.exe");
        std::string line = "\"" + exe + "\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        process_.reset(pi.hProcess);
        CloseHandle(pi.hThread);
        pid_ = pi.dwProcessId;
        return true;
    }
    bool Exited(std::chrono::milliseconds limit) {
        return process_ && WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() {
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }
    DWORD Pid() const { return pid_; }
    // The main window of this process, once it answers the one-instance question.
    HWND Window() {
        HWND window = app::COneInstance::FindRunningInstance();
        DWORD owner = 0;
        if (window) GetWindowThreadProcessId(window, &owner);
        return owner == pid_ ? window : nullptr;
    }
    // Asks the agent to leave as another program would, and waits for it.
    bool Stop() {
        HWND window = Window();
        if (window) PostMessageA(window, app::Messages().exit, 0, 0);
        return Exited(20s);
    }
    ~AgentProcess() {
        if (process_ && !Exited(0ms)) {
            Stop();
            if (!Exited(0ms)) TerminateProcess(process_.get(), 99);
        }
    }

private:
    platform::UniqueHandle process_;
    DWORD pid_ = 0;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class Agent : public ::testing::Test {
protected:
    void SetUp() override {
        testing_app::DeleteProgramKeys();
        platform::InstallSettingsStore(platform::MakeDefaultSettingsStore());
        platform::AppSettings().WriteText(setting::kDataFolder, dataFolder_);
    }
    void TearDown() override { testing_app::DeleteProgramKeys(); }
    void SetLog(bool on) { platform::AppSettings().WriteFlag(setting::kGenerateLogFile, on); }
    std::string Log() { return platform::ReadWholeFile(logPath_).value_or(""); }

    testing_support::TempFolder folder_{"varnel-agent-test"};
    std::string dataFolder_ = folder_.str();
    std::string logPath_ = dataFolder_ + "\\vnlog.txt";
};

TEST_F(Agent, WithTheLogOffNoLogFileIsCreated) {
    SetLog(false);
    // The stored placement is used; a stored style cannot make the frame disabled.
    platform::Settings& settings = platform::AppSettings();
    settings.WriteNumber(setting::kWindowRectLeft, 12);
    settings.WriteNumber(setting::kWindowRectTop, 34);
    settings.WriteNumber(setting::kWindowRectWidth, 400);
    settings.WriteNumber(setting::kWindowRectHeight, 300);
    settings.WriteNumber(setting::kWindowStyle, WS_OVERLAPPEDWINDOW | WS_DISABLED);
    AgentProcess agent;
    ASSERT_TRUE(agent.Start());
    ASSERT_TRUE(WaitFor([&] { return agent.Window() != nullptr; })) << "the agent's window never appeared";
    EXPECT_FALSE(IsWindowVisible(agent.Window())) << "the main window must stay hidden";
    RECT placed{};
    ASSERT_TRUE(GetWindowRect(agent.Window(), &placed));
    EXPECT_EQ(placed.left, 12);
    EXPECT_EQ(placed.top, 34);
    EXPECT_EQ(placed.right - placed.left, 400);
    EXPECT_EQ(placed.bottom - placed.top, 300);
    EXPECT_TRUE(IsWindowEnabled(agent.Window()));
    ASSERT_TRUE(agent.Stop());
    EXPECT_EQ(agent.ExitCode(), 0u);
    EXPECT_FALSE(platform::FileExists(logPath_));
}

TEST_F(Agent, WithTheLogOnEachStartTruncatesAndBeginsTheLog) {
    SetLog(true);
    {
        AgentProcess agent;
        ASSERT_TRUE(agent.Start());
        ASSERT_TRUE(WaitFor([&] { return agent.Window() != nullptr; }));
        // Shared for reading and writing while the agent writes it.
        platform::UniqueFile reader(CreateFileA(logPath_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(static_cast<bool>(reader)) << "the open log is not shared: " << GetLastError();
        reader.reset();
        ASSERT_TRUE(agent.Stop());
    }
    std::string first = Log();
    std::vector<std::string> lines = Lines(first);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines.front(), ": Log Begin\r")) << lines.front();
    EXPECT_TRUE(EndsWith(lines.back(), ": Log End\r")) << lines.back();
    { std::ofstream(logPath_, std::ios::app) << "MARKER FROM AN EARLIER RUN\n"; }

    AgentProcess again;
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(WaitFor([&] { return again.Window() != nullptr; }));
    ASSERT_TRUE(again.Stop());
    const std::string second = Log();
    EXPECT_EQ(second.find("MARKER"), std::string::npos);
    lines = Lines(second);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(EndsWith(lines.front(), ": Log Begin\r"));
    size_t begins = 0;
    for (const std::string& l : lines) begins += l.find("Log Begin") != std::string::npos;
    EXPECT_EQ(begins, 1u);
}

TEST_F(Agent, SecondStartShowsTheRunningTextInTheFirstAndExits) {
    SetLog(true);
    AgentProcess first;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitFor([&] { return first.Window() != nullptr; }));

    AgentProcess second;
    ASSERT_TRUE(second.Start("/scannow"));
    ASSERT_TRUE(second.Exited(15s)) << "the second instance kept running";
    EXPECT_EQ(second.ExitCode(), 0u);

    // The first shows string 166 in its error window.
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        dialog = FindWindowA(nullptr, "Zelto Varnel Error");
        return dialog != nullptr;
    })) << "no error window appeared";
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    EXPECT_EQ(owner, first.Pid());
    // The window appears a moment before its text is set.
    char text[1024] = {};
    WaitFor([&] {
        SendMessageA(GetDlgItem(dialog, IDC_ERROR_TEXT), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text[0] != 0;
    });
    std::string shown(text), expected;
    for (char c : platform::LoadText(166)) {
        if (c == '\n') expected += '\r';
        expected += c;
    }
    EXPECT_EQ(shown, expected);

    // A third start while the window is open replaces the text, keeps one window.
    AgentProcess third;
    ASSERT_TRUE(third.Start());
    ASSERT_TRUE(third.Exited(15s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(FindWindowA(nullptr, "Zelto Varnel Error"), dialog);

    // Still the only agent, and its log was not truncated by the other starts.
    EXPECT_EQ(app::COneInstance::FindRunningInstance(), first.Window());
    ASSERT_TRUE(first.Stop());
    const std::string log = Log();
    EXPECT_TRUE(EndsWith(Lines(log).front(), ": Log Begin\r"));
    EXPECT_NE(log.find("already running"), std::string::npos);
    EXPECT_EQ(log.find("scannow"), std::string::npos) << "the refused start wrote to the log";
}

TEST_F(Agent, WithoutTheIconASecondStartBringsUpTheWindow) {
    SetLog(false);
    platform::AppSettings().WriteFlag(setting::kShowTaskbarIcon, false);
    AgentProcess first;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(WaitFor([&] { return first.Window() != nullptr; }));
    EXPECT_FALSE(IsWindowVisible(first.Window()));
    AgentProcess second;
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Exited(15s));
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(first.Window()) != FALSE; })) << "the window stayed hidden";
    EXPECT_EQ(FindWindowA(nullptr, "Zelto Varnel Error"), nullptr) << "no text about an icon that is not there";
    ASSERT_TRUE(first.Stop());
}

TEST_F(Agent, ClosingTheWindowHidesItUnlessTheIconIsOff) {
    SetLog(false);
    AgentProcess agent;
    ASSERT_TRUE(agent.Start());
    ASSERT_TRUE(WaitFor([&] { return agent.Window() != nullptr; }));
    PostMessageA(agent.Window(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(agent.Exited(1500ms)) << "with the icon shown, closing must only hide";

    platform::AppSettings().WriteFlag(setting::kShowTaskbarIcon, false);
    PostMessageA(agent.Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(agent.Exited(15s));
}

}  // namespace
