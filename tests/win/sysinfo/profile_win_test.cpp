// The system profile from the real system: WMI values, the version query,
// the processor key, memory, screen and Windows folder.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/text.h"
#include "sysinfo/profile.h"

namespace {

using sysinfo::VN_Profile;
using sysinfo::VN_ProfileMfg;

TEST(ProfileWin, WmiGivesMakerModelAndTheSystemNameWithoutItsPrefix) {
    std::vector<std::string> debug;
    vnlog::SetDebugSink([&](std::string_view text) { debug.emplace_back(text); });
    const VN_ProfileMfg mfg = VN_ProfileMfg::ReadFromWmi();
    vnlog::SetDebugSink(nullptr);
    EXPECT_TRUE(debug.empty()) << debug.front();
    EXPECT_FALSE(mfg.manufacturer.empty());
    EXPECT_FALSE(mfg.model.empty());
    EXPECT_EQ(mfg.manufacturer, textutil::Trim(mfg.manufacturer));
    ASSERT_FALSE(mfg.osName.empty());
    EXPECT_NE(mfg.osName.compare(0, 10, "Microsoft "), 0) << mfg.osName;
    EXPECT_NE(textutil::FindNoCase(mfg.osName, "Windows"), std::string::npos) << mfg.osName;

    // Kept once read: the cache answers the values WMI gave.
    const VN_ProfileMfg cached = VN_ProfileMfg::Current();
    EXPECT_EQ(cached.osName, mfg.osName);
    EXPECT_EQ(cached.model, mfg.model);
}

TEST(ProfileWin, GettersDescribeThisMachine) {
    VN_Profile profile;
    EXPECT_TRUE(std::regex_match(profile.GetOsVersion(), std::regex(R"(\d+\.\d+ .*\(Build \d+\))")))
        << profile.GetOsVersion();
    EXPECT_FALSE(profile.GetProcessorType().empty());
    EXPECT_GE(std::stoi(profile.GetProcessorCount()), 1);
    EXPECT_GT(std::stoull(profile.GetPhysicalMemory()), 64ull << 20);
    EXPECT_TRUE(std::regex_match(profile.GetDisplay(), std::regex(R"(\d+x\d+)"))) << profile.GetDisplay();
    EXPECT_TRUE(textutil::EndsWithNoCase(profile.GetWindowsFolder(), "\\windows")) << profile.GetWindowsFolder();
    // x86-64 processors are not reported as type 586, so only the clock remains.
    const std::string info = profile.GetProcessorInfo();
    EXPECT_TRUE(info.empty() || std::regex_match(info, std::regex(R"(, ~\d+ MHZ)"))) << info;
}

TEST(ProfileWin, WithoutSystemDataOnlyIdentityClientAndTimeAreFilled) {
    VN_Profile profile;
    profile.SetCollect(false);
    EXPECT_EQ(profile.GetOsVersion(), "");
    EXPECT_EQ(profile.GetProcessorType(), "");
    EXPECT_EQ(profile.GetProcessorInfo(), "");
    EXPECT_EQ(profile.GetProcessorCount(), "");
    EXPECT_EQ(profile.GetPhysicalMemory(), "");
    EXPECT_EQ(profile.GetDisplay(), "");
    EXPECT_EQ(profile.GetWindowsFolder(), "");
    const std::string text = profile.WriteProfile();
    const VN_ProfileMfg& mfg = VN_ProfileMfg::Current();
    EXPECT_NE(text.find("<manufacturer>" + mfg.manufacturer + "</manufacturer>"), std::string::npos) << text;
    EXPECT_NE(text.find("<name>" + mfg.osName + "</name>"), std::string::npos) << text;
    EXPECT_NE(text.find("<version></version>"), std::string::npos);
    EXPECT_NE(text.find("<physicalRam></physicalRam>"), std::string::npos);
    EXPECT_NE(text.find("<version>1.3.1.55</version>"), std::string::npos);
    EXPECT_NE(text.find(" <timestamp>"), std::string::npos);
    EXPECT_EQ(text.find("nextScheduledScan"), std::string::npos);
}

}  // namespace
