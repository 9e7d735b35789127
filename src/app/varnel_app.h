// The application object: start-up, message loop and shut-down of varnel.exe.
#pragma once

#include "platform/win/win.h"

namespace app {

// Runs the program; returns the process exit code.
int RunVarnel(HINSTANCE instance, const char* commandLine);

}  // namespace app
