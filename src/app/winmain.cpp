// Entry point of varnel.exe: everything else lives in the application library.
#include "app/varnel_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return app::RunVarnel(instance, commandLine);
}
