// Saves part of the screen as a PNG under build/screenshots (GDI+).
#pragma once

#include <string>

#include "common/window_png.h"
#include "registry_guard.h"

namespace testing_app {

// Saves the screen's rectangle as build/screenshots/<name>.png; false when it could not.
inline bool SaveScreenPng(const RECT& r, const std::string& name) {
    CreateDirectoryA(BuildPath("../screenshots").c_str(), nullptr);
    const std::string path = BuildPath("../screenshots/" + name + ".png");
    return testing_support::SaveScreenRectPng(r, std::wstring(path.begin(), path.end()));
}

}  // namespace testing_app
