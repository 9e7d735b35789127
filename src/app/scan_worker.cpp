#include "app/scan_worker.h"

#include <process.h>

#include "app/app_messages.h"
#include "app/closing_connection_dlg.h"
#include "engine/engine_system.h"
#include "engine/worker_posts.h"
#include "inventory/driver_data.h"
#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/message_reporter.h"
#include "platform/post_safe.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "views/win/item_feedback_dlg.h"

namespace app {
namespace {

struct ThreadContext {
    engine::VN_ScanEngine* engine;
    engine::WorkerEntry entry;
};

}  // namespace

CScanWorker::CScanWorker(HINSTANCE instance, VN_WatchList& watchList, Views::CDriverData& driverList)
    : instance_(instance), watch_(watchList), drivers_(driverList), engine_(watchList, driverList) {}

CScanWorker::~CScanWorker() { StopForExit(); }

unsigned __stdcall CScanWorker::ThreadMain(void* raw) {
    const ThreadContext context = *static_cast<ThreadContext*>(raw);
    delete static_cast<ThreadContext*>(raw);
    vnlog::Write(std::string("Worker started: ") + engine::WorkerEntryName(context.entry));
    context.engine->Run(context.entry);  // lets nothing out
    vnlog::Write(std::string("Worker ended: ") + engine::WorkerEntryName(context.entry));
    return 0;
}

void CScanWorker::RunWorker(engine::WorkerEntry entry) {
    entry_ = entry;
    auto* context = new ThreadContext{&engine_, entry};
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadMain, context, CREATE_SUSPENDED, &id);
    if (!handle) {
        delete context;
        vnlog::Write("*** Error: the worker thread could not be created");
        return;
    }
    thread_ = reinterpret_cast<HANDLE>(handle);
    SetThreadPriority(thread_, THREAD_PRIORITY_LOWEST);
    ResumeThread(thread_);
}

bool CScanWorker::IsWorkerRunning() const {
    DWORD code = 0;
    return thread_ && GetExitCodeThread(thread_, &code) && code == STILL_ACTIVE;
}

namespace {

// An open report window holds an item that a scan or a check could change or
// delete: neither starts meanwhile.
bool ReportWindowOpen() {
    if (!Views::CItemFeedbackDlg::IsAnyOpen()) return false;
    vnlog::Write("A scan waits for the report window to close: not started");
    return true;
}

}  // namespace

bool CScanWorker::StartScan(bool withCheck, bool userStartedRun) {
    if (ReportWindowOpen()) return false;
    StopWorker();
    stopping = false;
    userStarted = userStartedRun;
    engine::SendClearSoftwareView();
    RunWorker(withCheck ? engine::WorkerEntry::SearchAllMySoftwareWUpdate : engine::WorkerEntry::SearchAllMySoftware);
    return true;
}

void CScanWorker::StartCheck(bool userStartedRun) {
    if (ReportWindowOpen()) return;
    // A running scan without a check is left to finish; a running check is
    // stopped only by the user's own request, and that request ends there.
    if (IsWorkerRunning() && !scanning) return;
    if (scanning && !userStartedRun) return;
    const bool wasScanning = scanning;
    StopWorker();
    if (wasScanning) return;
    if (!engine::EngineSystem().IsConnected()) {
        if (userStartedRun) platform::ReportMessage(kOfflineQuestionTextId, MB_OK | MB_ICONINFORMATION);
        platform::PostSafeMessage(kOfflinePostedTextId);
        return;
    }
    userStarted = userStartedRun;
    stopping = false;
    RunWorker(engine::WorkerEntry::CheckForUpdates);
}

bool CScanWorker::StartOpenAppsScan() {
    if (!platform::AppSettings().ReadFlag(setting::kScanOpenApps, true)) return false;
    StopWorker();
    stopping = false;
    RunWorker(engine::WorkerEntry::SearchOpenApplications);
    return true;
}

bool CScanWorker::StopWorker() {
    if (stopInProgress) return true;
    stopInProgress = true;
    if (thread_) {
        if (IsWorkerRunning()) {
            stopping = true;
            if (frame_) SendMessageA(frame_, Messages().progress, engine::kPhaseCheckDone, 1);
            if (IsWorkerRunning()) {
                vnlog::Write("Stopping the worker");
                CClosingConnectionDlg dialog(instance_, frame_);
                watch_.SetStop();
                drivers_.SetStop();
                while (WaitForSingleObject(thread_, kStopStepMs) == WAIT_TIMEOUT) {
                    dialog.PumpMessages();
                    dialog.StepProgress();
                }
            } else {
                watch_.SetStop();
                drivers_.SetStop();
            }
            // What the worker posted before it ended is handled now, before
            // anything new starts; a quit request stays queued.
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));
                    break;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        WaitForSingleObject(thread_, INFINITE);
        ForgetWorker();
    }
    scanning = false;
    stopInProgress = false;
    if (exitPending) {
        exitPending = false;
        if (performExit) performExit();
    }
    return true;
}

bool CScanWorker::StopForExit(DWORD waitMs) {
    if (!thread_) return true;
    bool ended = true;
    if (IsWorkerRunning()) {
        vnlog::Write("Exit: stopping the worker");
        watch_.SetStop();
        drivers_.SetStop();
        const DWORD start = GetTickCount();
        for (;;) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= waitMs) break;
            // Messages the worker sends (the transport's progress) must be
            // answered, or it could not get to its next stop test.
            const DWORD woke = MsgWaitForMultipleObjects(1, &thread_, FALSE, waitMs - spent, QS_SENDMESSAGE);
            if (woke == WAIT_OBJECT_0) break;
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (IsWorkerRunning()) {
            vnlog::Write("*** Exit: the worker did not stop in time and is ended");
            TerminateThread(thread_, 1);
            WaitForSingleObject(thread_, INFINITE);
            // It may have held an item lock, which would never be released.
            inventory::ContentLock::AbandonAll();
            ended = false;
            // Threads it started (a folder read-ahead stuck on a network
            // path) may still be running: the stop stays requested for them.
            CloseHandle(thread_);
            thread_ = nullptr;
            scanning = false;
            return ended;
        } else {
            vnlog::Write("Exit: the worker stopped");
        }
    }
    ForgetWorker();
    scanning = false;
    return ended;
}

void CScanWorker::ForgetWorker() {
    if (thread_) CloseHandle(thread_);
    thread_ = nullptr;
    watch_.ResetStop();
    drivers_.ResetStop();
}

void CScanWorker::OnProgress(int phase, int mark) {
    if (mark == 0) return;
    if (phase == engine::kPhaseStart) scanning = true;
    else if (phase == engine::kPhaseCheckDone) scanning = false;
}

}  // namespace app
