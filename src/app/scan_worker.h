// CScanWorker: the main frame's scan worker. At most one worker thread runs,
// at the lowest priority, running one entry of the scan engine
// (engine/scan_engine.h) over the program's lists. Every start stops the
// previous worker first, so a new run always begins with the stop event
// reset. Everything here runs on the user-interface thread.
//
// Stopping is cooperative: StopWorker sets the lists' stop event and waits
// in 300 ms steps behind the closing-connection dialog (117), pumping
// messages so that the worker's sent messages are answered. At exit,
// StopForExit waits a few seconds at most and only then ends the thread by
// force; the lists' files are replaced atomically, so even that leaves each
// file as it was before or after a save, never half-written.
#pragma once

#include <functional>

#include "engine/scan_engine.h"
#include "platform/win/win.h"

class VN_WatchList;
namespace Views {
class CDriverData;
}

namespace app {

class CScanWorker {
public:
    // The strings a check reports when the computer is offline.
    static constexpr int kOfflineQuestionTextId = 330;  // user-started: through the message reporter
    static constexpr int kOfflinePostedTextId = 318;    // always: posted to the main window
    static constexpr DWORD kStopStepMs = 300;
    static constexpr DWORD kExitWaitMs = 5000;

    CScanWorker(HINSTANCE instance, VN_WatchList& watchList, Views::CDriverData& driverList);
    ~CScanWorker();
    CScanWorker(const CScanWorker&) = delete;
    CScanWorker& operator=(const CScanWorker&) = delete;

    // The frame whose window the dialog belongs to and which receives the
    // phase "WM_Varnel10_Progress" (7, 1) that StopWorker sends.
    void SetFrameWindow(HWND frame) { frame_ = frame; }
    // Called at the end of StopWorker when an exit was asked for meanwhile.
    std::function<void()> performExit;

    engine::VN_ScanEngine& Engine() { return engine_; }

    // True while a worker thread exists and has not ended.
    bool IsWorkerRunning() const;
    // Stops any worker and starts the scan, with the check when asked for.
    bool StartScan(bool withCheck, bool userStarted);
    // The check alone (see the .cpp for when it does nothing).
    void StartCheck(bool userStarted);
    // The running-program scan; false when "WatchList Scan Open Apps" is off.
    bool StartOpenAppsScan();
    // Stops the worker (cooperatively, behind dialog 117) and forgets it.
    bool StopWorker();
    // At exit: asks the worker to stop and waits up to `waitMs`, answering
    // what the worker sends meanwhile; a worker that is still running then
    // is ended by force. True when it ended by itself (or none ran).
    bool StopForExit(DWORD waitMs = kExitWaitMs);

    // What a "WM_Varnel10_Progress" means for the frame: phase 1 with a mark
    // sets `scanning`, phase 7 with a mark clears it.
    void OnProgress(int phase, int mark);

    // The worker state of the frame.
    bool stopping = false;
    bool userStarted = false;
    bool scanning = false;
    bool stopInProgress = false;
    bool exitPending = false;

private:
    void RunWorker(engine::WorkerEntry entry);
    void ForgetWorker();
    static unsigned __stdcall ThreadMain(void* context);

    HINSTANCE instance_;
    HWND frame_ = nullptr;
    VN_WatchList& watch_;
    Views::CDriverData& drivers_;
    engine::VN_ScanEngine engine_;
    HANDLE thread_ = nullptr;
    engine::WorkerEntry entry_ = engine::WorkerEntry::SearchAllMySoftware;
};

}  // namespace app
