// Saves a window as the user sees it to a PNG (GDI+), for the tests that
// render the program's windows into build/screenshots/.
#pragma once

#include <string>

#include "platform/win/win.h"

// Saves what the window shows as a PNG; false when it could not.
bool SaveWindowPng(HWND window, const std::wstring& path);
