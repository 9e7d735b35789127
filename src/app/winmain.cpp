// Entry point of varnel.exe: everything else lives in the application library.
#include "app/varnel_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    const int code = app::RunVarnel(instance, commandLine);
    // The lists are saved and the log closed by now. Threads that outlive
    // the window (a request still out, a page fetch, a refresh given up on)
    // end here, before the program's static objects (the settings, the
    // notifier) are destroyed under them, as returning would do.
    ExitProcess(static_cast<UINT>(code));
}
