// Paths of the version fixtures (tests/fixtures/version_programs.cmake) as
// the Windows calls under test take them.
#pragma once

#include <string>

#include "common/wine.h"

inline std::string FixturePath(const std::string& name) {
    return testing_wine::WindowsPathOf(std::string(VARNEL_VERSION_FIXTURES) + "/" + name);
}
