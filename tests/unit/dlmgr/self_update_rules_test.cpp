#include "dlmgr/self_update_rules.h"

#include <gtest/gtest.h>

namespace dlmgr {
namespace {

TEST(SelfUpdateVersion, ComponentsCompareAsNumbersAndTheFirstDifferenceDecides) {
    EXPECT_TRUE(IsNewerVersion("1.3.1.56"));
    EXPECT_TRUE(IsNewerVersion("1.3.1.100"));
    EXPECT_TRUE(IsNewerVersion("1.4"));
    EXPECT_TRUE(IsNewerVersion("1.3.1.99999999999999999999999"));  // no overflow
    // As text "9" sorts after "55": the service could push a downgrade.
    EXPECT_FALSE(IsNewerVersion("1.3.1.9"));
    EXPECT_FALSE(IsNewerVersion("1.3.1.55"));
    EXPECT_FALSE(IsNewerVersion("01.03.001.055"));
    // A smaller component stops the walk: 1.2.9 is older whatever follows.
    EXPECT_FALSE(IsNewerVersion("1.2.9.99"));
    // Equal as far as both go: not newer, whichever list is longer.
    EXPECT_FALSE(IsNewerVersion("1.3.1.55.1"));
    EXPECT_FALSE(IsNewerVersion("1.3"));
    EXPECT_FALSE(IsNewerVersion(""));
    // Components that are not numbers compare as text ignoring case.
    EXPECT_TRUE(IsNewerVersion("1.3.1.55B", "1.3.1.55a"));
    EXPECT_FALSE(IsNewerVersion("1.3.1.55a", "1.3.1.55A"));
}

TEST(SelfUpdateFileName, KeepsOnlyAPlainNameInsideTheUpgradeFolder) {
    EXPECT_EQ(UpdateFileName("https://example.test/releases/varnel.msi?build=56#top"), "varnel.msi");
    EXPECT_EQ(UpdateFileName("http://h/..\\..\\Start Menu\\Programs\\Startup\\x.exe"), "x.exe");
    EXPECT_EQ(UpdateFileName("http://h/dl/C:x<y>|z\".exe"), "Cxyz.exe");
    EXPECT_EQ(UpdateFileName("http://h/dl/tab\there.msi. . "), "tabhere.msi");
    // Percent escapes are not decoded, so they cannot make separators.
    EXPECT_EQ(UpdateFileName("http://h/dl/..%5C..%5Cx.exe"), "..%5C..%5Cx.exe");
}

TEST(SelfUpdateFileName, RefusesWhenNoUsableNameIsLeft) {
    EXPECT_FALSE(UpdateFileName("http://h/dl/"));
    EXPECT_FALSE(UpdateFileName("http://h/dl/.."));
    EXPECT_FALSE(UpdateFileName("http://h/dl/:*?"));
    EXPECT_FALSE(UpdateFileName("http://h/dl/nul.msi"));
    EXPECT_FALSE(UpdateFileName("http://h/dl/COM1"));
    EXPECT_FALSE(UpdateFileName("http://h/dl/" + std::string(201, 'a')));
    EXPECT_TRUE(UpdateFileName("http://h/dl/console.msi"));
}

TEST(SelfUpdateInstaller, CommandDependsOnTheExtension) {
    const auto msi = InstallerCommandFor("C:\\Data\\upgrade\\Varnel.MSI");
    ASSERT_TRUE(msi);
    EXPECT_EQ(msi->file, "msiexec.exe");
    EXPECT_EQ(msi->verb, "runas");  // a silent all-users install cannot ask for an administrator itself
    EXPECT_EQ(msi->parameters, "/i \"C:\\Data\\upgrade\\Varnel.MSI\" /qn REINSTALL=ALL REINSTALLMODE=vomus /norestart");
    // Not installed: the reinstall would do nothing, so the package is installed.
    EXPECT_EQ(InstallerCommandFor("C:\\u\\v.msi", false)->parameters, "/i \"C:\\u\\v.msi\" /qn /norestart");
    const auto exe = InstallerCommandFor("C:\\Data\\upgrade\\setup.exe");
    ASSERT_TRUE(exe);
    EXPECT_EQ(exe->file, "C:\\Data\\upgrade\\setup.exe");
    EXPECT_EQ(exe->parameters, "/S");
    EXPECT_EQ(exe->verb, "open");
    EXPECT_FALSE(InstallerCommandFor("C:\\Data\\upgrade\\setup.zip"));
    EXPECT_FALSE(InstallerCommandFor("C:\\Data\\upgrade.d\\setup"));
}

TEST(SelfUpdateRestart, TheInstalledAgentUnlessTheInstallerFailed) {
    EXPECT_EQ(InstallerOutcomeOf(0u), InstallerOutcome::Succeeded);
    EXPECT_EQ(InstallerOutcomeOf(3010u), InstallerOutcome::Succeeded);  // a restart of Windows completes it
    EXPECT_EQ(InstallerOutcomeOf(1603u), InstallerOutcome::Failed);
    EXPECT_EQ(InstallerOutcomeOf(std::nullopt), InstallerOutcome::Unknown);
    const std::string installed = "C:\\Program Files\\Harbinel\\Zelto Varnel\\varnel.exe";
    const std::string running = "C:\\Tools\\varnel.exe";
    EXPECT_EQ(AgentToRestart(InstallerOutcome::Succeeded, installed, running), installed);
    EXPECT_EQ(AgentToRestart(InstallerOutcome::Unknown, installed, running), installed);
    EXPECT_EQ(AgentToRestart(InstallerOutcome::Failed, installed, running), running);
    EXPECT_EQ(AgentToRestart(InstallerOutcome::Succeeded, "", running), running);  // a copy never installed
}

}  // namespace
}  // namespace dlmgr
