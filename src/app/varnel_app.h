// CVarnelApp: start-up, message loop and shut-down of varnel.exe.
#pragma once

#include <memory>
#include <string>

#include "app/main_events.h"
#include "app/one_instance.h"
#include "platform/win/win.h"

namespace app {

class CVarnelApp {
public:
    // Creates the single-instance semaphore (before start-up proper).
    CVarnelApp() = default;
    ~CVarnelApp();
    CVarnelApp(const CVarnelApp&) = delete;
    CVarnelApp& operator=(const CVarnelApp&) = delete;

    enum class Startup {
        Ready,            // the message loop runs next
        AnotherInstance,  // another instance runs and was told of this start
        Failed,           // the lock or the main window could not be had
    };
    // The start-up sequence; anything but Ready means the program exits at once.
    Startup InitInstance(HINSTANCE instance, const char* commandLine);
    // The message loop; returns the exit code.
    int Run();
    // What is left after the loop: the frame, OLE, the log.
    void ExitInstance();

    CMainEvents* Frame() { return frame_.get(); }

private:
    CSingleInstanceLock lock_;
    std::unique_ptr<CMainEvents> frame_;
    bool oleInitialised_ = false;
};

// Runs the program; returns the process exit code.
int RunVarnel(HINSTANCE instance, const char* commandLine);

}  // namespace app
