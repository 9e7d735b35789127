// Test helpers for the Windows tests of the application: removing the
// program's settings keys before and after a test, and paths of the build.
#pragma once

#include <string>

#include "common/wine.h"
#include "platform/win/win.h"

namespace testing_app {

// Deletes "Software\Harbinel" in the user's and the machine's hive.
inline void DeleteProgramKeys() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Harbinel");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Harbinel");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Harbinel");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Harbinel");
}

inline bool KeyExists(HKEY root, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A path of the build tree as Windows sees it.
using testing_wine::BuildPath;

}  // namespace testing_app
