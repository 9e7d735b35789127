// Faultwick.exe under Wine: "/on" and "/off" are recorded in its registry
// value, anything else changes nothing.
#include <gtest/gtest.h>

#include "common/wine.h"
#include "platform/win/win.h"

namespace {

DWORD Recorded() {
    DWORD value = 99, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Harbinel\\Faultwick", "Collect Usage Data", RRF_RT_REG_DWORD,
                     nullptr, &value, &size) != ERROR_SUCCESS)
        return 99;
    return value;
}

TEST(Faultwick, RecordsTheUsageDataChoiceAndIgnoresAnythingElse) {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Harbinel\\Faultwick");
    const std::string program = "\"" + testing_wine::BuildPath("src/app/Faultwick.exe") + "\"";
    EXPECT_EQ(testing_wine::RunAndWait(program + " /off"), 0);
    EXPECT_EQ(Recorded(), 0u);
    EXPECT_EQ(testing_wine::RunAndWait(program + " /on"), 0);
    EXPECT_EQ(Recorded(), 1u);
    EXPECT_EQ(testing_wine::RunAndWait(program + " /maybe"), 2);
    EXPECT_EQ(testing_wine::RunAndWait(program), 2);
    EXPECT_EQ(Recorded(), 1u);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Harbinel\\Faultwick");
}

}  // namespace
