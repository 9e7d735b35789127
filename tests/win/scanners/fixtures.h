// Paths of the version fixtures (tests/fixtures/version_programs.cmake) as
// the Windows calls under test take them.
#pragma once

#include <string>

inline std::string FixturePath(const std::string& name) {
    std::string path = std::string("Z:") + VARNEL_VERSION_FIXTURES + "/" + name;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}
