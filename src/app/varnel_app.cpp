#include "app/varnel_app.h"

#include <commctrl.h>
#include <ole2.h>

#include "app/app_messages.h"
#include "app/error_dialog.h"
#include "appcore/command_line.h"
#include "dlmgr/history_item.h"
#include "dlmgr/win/update_watcher.h"
#include "platform/event_log.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/win/modeless.h"
#include "platform/win/wide.h"

namespace app {
namespace {
// The program's version, from the build (the same as the version resource).
constexpr char kVersionText[] = VARNEL_VERSION_TEXT;

std::string ProgramFile() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return platform::AnsiPath(std::wstring(path, n < std::size(path) ? n : 0));
}
}  // namespace

CVarnelApp::~CVarnelApp() { ExitInstance(); }

CVarnelApp::Startup CVarnelApp::InitInstance(HINSTANCE instance, const char* commandLine) {
    // 1. One instance per logon: a later one signals the first and leaves.
    if (!lock_.TryLock()) {
        if (lock_.CreationError() != 0) {
            // Without the semaphore nothing tells whether another instance
            // runs; say why the agent did not start instead of leaving unseen.
            platform::EventLog().Report(
                platform::EventKind::Error,
                textutil::Format("Zelto Varnel could not start: the single-instance semaphore could not be "
                                 "created (error %lu).",
                                 static_cast<unsigned long>(lock_.CreationError())));
            return Startup::Failed;
        }
        COneInstance::SignalRunningInstance();
        return Startup::AnotherInstance;
    }

    // The log is opened only once the lock is held: a refused second start
    // must not truncate the running instance's log.
    platform::Settings& settings = platform::AppSettings();
    if (settings.ReadFlag(setting::kGenerateLogFile, setting::kGenerateLogFileDefault)) {
        const std::string dataFolder = platform::DataFolder();
        vnlog::Open(dataFolder + "\\vnlog.txt");
        vnlog::Write(std::string("Zelto Varnel ") + kVersionText + " started, command line: \"" +
                     (commandLine ? commandLine : "") + "\"");
        vnlog::Write("Program file: " + ProgramFile());
        vnlog::Write("Single-instance lock taken");
        vnlog::Write("Data folder: " + dataFolder);
        vnlog::Write("Temp Html folder: " + platform::TempHtmlFolder());
    }

    // What an update's watcher copied to the temporary folder, once it has ended.
    dlmgr::RemoveLeftoverWatcherFolders();

    // 2. Common controls and OLE.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    oleInitialised_ = SUCCEEDED(OleInitialize(nullptr));

    Messages();  // every registered message, before any window can receive one
    // The download history's item class, before any list file is read.
    dlmgr::RegisterItemClasses();

    // 5. The command line, then the main window.
    const appcore::CMxproCmdInfo info = appcore::ParseCommandLine(commandLine ? commandLine : "");
    frame_ = std::make_unique<CMainEvents>(instance);
    if (!frame_->Create()) {
        vnlog::Write("The main window could not be created");
        return Startup::Failed;
    }
    vnlog::Write("Main window created");
    // 6.-7. Hidden, not interactive; the scan-now option goes to the frame.
    ShowWindow(frame_->Window(), SW_HIDE);
    frame_->interactive = false;
    frame_->scanNow = info.scanNow;
    if (info.scanNow) vnlog::Write("Option scannow: one check after start-up");
    // 8.
    frame_->FinishStartup();
    return Startup::Ready;
}

int CVarnelApp::Run() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        if (platform::TranslateModeless(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return got == -1 ? 1 : static_cast<int>(msg.wParam);
}

void CVarnelApp::ExitInstance() {
    frame_.reset();
    if (oleInitialised_) OleUninitialize();
    oleInitialised_ = false;
    vnlog::Close();
}

int RunVarnel(HINSTANCE instance, const char* commandLine) {
    // The update watcher is no agent: no window, settings, log or lock of its
    // own (the agent it waits for still holds the lock).
    const appcore::CMxproCmdInfo info = appcore::ParseCommandLine(commandLine ? commandLine : "");
    if (info.updateWatch) return dlmgr::RunUpdateWatch(info.installerPid, info.agentPid, info.restartProgram);
    CVarnelApp app;
    switch (app.InitInstance(instance, commandLine)) {
    case CVarnelApp::Startup::Ready: return app.Run();
    case CVarnelApp::Startup::AnotherInstance: return 0;
    case CVarnelApp::Startup::Failed: break;
    }
    return 1;
}

}  // namespace app
