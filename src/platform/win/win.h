// The one way Windows adapters include the Windows headers: the build defines
// WIN32_LEAN_AND_MEAN, NOMINMAX and _WIN32_WINNT; this header adds nothing
// else, so that every adapter sees the same declarations.
#pragma once

#include <windows.h>
