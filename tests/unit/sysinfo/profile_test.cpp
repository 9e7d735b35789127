// The system profile's texts from given machine facts, and its element.
#include <gtest/gtest.h>

#include "sysinfo/profile.h"

namespace {

using sysinfo::SystemFacts;
using sysinfo::VN_Profile;
using sysinfo::VN_ProfileMfg;

SystemFacts Facts() {
    SystemFacts facts;
    facts.osVersion = SystemFacts::OsVersion{5, 1, 0x0A280A28, "Service Pack 3"};
    facts.processorIdentifier = "x86 Family 6 Model 15 Stepping 13";
    facts.processorType = sysinfo::kProcessorPentium;
    facts.processorLevel = 6;
    facts.processorRevision = 3853;
    facts.processorMhz = 2394;
    facts.processorCount = 2;
    facts.physicalMemory = 3ull << 30;
    facts.screenWidth = 1280;
    facts.screenHeight = 1024;
    facts.windowsFolder = "C:\\WINDOWS";
    return facts;
}

VN_ProfileMfg Mfg() {
    VN_ProfileMfg mfg;
    mfg.manufacturer = "LENOVO";
    mfg.model = "ThinkPad T61";
    mfg.osName = VN_ProfileMfg::OsNameFromCaption("Microsoft Windows XP Professional");
    return mfg;
}

TEST(Profile, GettersFormatTheSystemsAnswers) {
    VN_Profile profile(Facts(), Mfg());
    // Only the low 16 bits of the build number are the build.
    EXPECT_EQ(profile.GetOsVersion(), "5.1 Service Pack 3 (Build 2600)");
    EXPECT_EQ(profile.GetProcessorType(), "x86 Family 6 Model 15 Stepping 13");
    EXPECT_EQ(profile.GetProcessorInfo(), "Level 6, Revision 3853, ~2394 MHZ");
    EXPECT_EQ(profile.GetProcessorCount(), "2");
    // More than a 32-bit number holds is still sent whole.
    EXPECT_EQ(profile.GetPhysicalMemory(), "3221225472");
    EXPECT_EQ(profile.GetDisplay(), "1280x1024");
    EXPECT_EQ(profile.GetWindowsFolder(), "C:\\WINDOWS");
}

TEST(Profile, ProcessorInfoHasLevelAndRevisionOnlyForPentiumClassProcessors) {
    SystemFacts facts = Facts();
    facts.processorType = 8664;
    EXPECT_EQ(VN_Profile(facts, Mfg()).GetProcessorInfo(), ", ~2394 MHZ");
    facts.processorMhz.reset();
    EXPECT_EQ(VN_Profile(facts, Mfg()).GetProcessorInfo(), "");
    facts.processorType = sysinfo::kProcessorPentium;
    EXPECT_EQ(VN_Profile(facts, Mfg()).GetProcessorInfo(), "Level 6, Revision 3853");
}

TEST(Profile, UnknownVersionGivesAnEmptyTextAndAnEmptyServicePackKeepsItsBlank) {
    SystemFacts facts = Facts();
    facts.osVersion.reset();
    EXPECT_EQ(VN_Profile(facts, Mfg()).GetOsVersion(), "");
    facts.osVersion = SystemFacts::OsVersion{10, 0, 19045, ""};
    EXPECT_EQ(VN_Profile(facts, Mfg()).GetOsVersion(), "10.0  (Build 19045)");
}

TEST(Profile, CaptionLosesOnlyALeadingMicrosoftAndBlank) {
    EXPECT_EQ(VN_ProfileMfg::OsNameFromCaption("Microsoft Windows 10 Pro"), "Windows 10 Pro");
    EXPECT_EQ(VN_ProfileMfg::OsNameFromCaption("Windows 10 Pro"), "Windows 10 Pro");
    EXPECT_EQ(VN_ProfileMfg::OsNameFromCaption("MicrosoftWindows"), "MicrosoftWindows");
    EXPECT_EQ(VN_ProfileMfg::OsNameFromCaption("Wine on Microsoft "), "Wine on Microsoft ");
    EXPECT_EQ(VN_ProfileMfg::OsNameFromCaption("Microsoft "), "");
}

TEST(Profile, ElementWithoutSystemDataKeepsIdentityClientAndTime) {
    VN_Profile profile(Facts(), Mfg());
    profile.SetCollect(false);
    profile.matchData = "0123456789abcdef0123456789abcdef";
    profile.clock.fixedTime = 1000000000;  // 2001-09-09 01:46:40 UTC
    platform::TimeZoneState zone;
    zone.bias = 300;  // five hours west, standard time
    zone.mode = platform::TimeZoneMode::Standard;
    profile.clock.zone = zone;
    EXPECT_EQ(profile.WriteProfile(),
              "<systemProfile>\n"
              " <platform>Windows</platform>\n"
              " <manufacturer>LENOVO</manufacturer>\n"
              " <model>ThinkPad T61</model>\n"
              " <operatingSystem>\n"
              "  <name>Windows XP Professional</name>\n"
              "  <version></version>\n"
              "  <location></location>\n"
              " </operatingSystem>\n"
              " <architecture>\n"
              "  <type></type>\n"
              "  <info></info>\n"
              "  <processors></processors>\n"
              " </architecture>\n"
              " <physicalRam></physicalRam>\n"
              " <clientinfo>\n"
              "  <version>1.3.1.55</version>\n"
              "  <matchdata type=\"MD5\">0123456789abcdef0123456789abcdef</matchdata>\n"
              " </clientinfo>\n"
              " <display>\n"
              "  <resolution></resolution>\n"
              " </display>\n"
              " <timestamp>2001-09-08T20:46:40-0500</timestamp>\n"
              "</systemProfile>");

    // A scheduled scan is announced before the profile's own time.
    profile.nextScheduledScan = 1000003600;
    const std::string text = profile.WriteProfile();
    EXPECT_NE(text.find(" <nextScheduledScan>2001-09-08T21:46:40-0500</nextScheduledScan>\n"
                        " <timestamp>2001-09-08T20:46:40-0500</timestamp>\n</systemProfile>"),
              std::string::npos);
}

TEST(Profile, MakerAndModelAreEscapedLikeAnyText) {
    VN_ProfileMfg mfg = Mfg();
    mfg.manufacturer = "Smith & Sons \xE9";
    VN_Profile profile(Facts(), mfg);
    EXPECT_NE(profile.WriteProfile().find("<manufacturer>Smith &amp; Sons &#233;</manufacturer>"),
              std::string::npos);
}

}  // namespace
