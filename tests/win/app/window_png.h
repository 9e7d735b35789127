// The window-to-PNG helper of the tests that render the program's windows
// into build/screenshots/ (shared with the other Windows test programs).
#pragma once

#include "common/window_png.h"

using testing_support::SaveWindowPng;
