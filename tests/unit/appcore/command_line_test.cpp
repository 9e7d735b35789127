#include <gtest/gtest.h>

#include "appcore/command_line.h"
#include "dlmgr/self_update_rules.h"

using appcore::ParseCommandLine;
using appcore::SplitCommandLine;
using Params = std::vector<std::string>;

TEST(CommandLine, ScanNowInAnyCaseWithOrWithoutSwitch) {
    for (const char* line : {"scannow", "/scannow", "-scannow", "SCANNOW", "/ScanNow", "-sCaNnOw", "\"/scannow\"",
                             "  other.txt   /scannow  ", "/x scannow"})
        EXPECT_TRUE(ParseCommandLine(line).scanNow) << line;
    for (const char* line : {"", "   ", "scan", "scannow2", "--scannow", "//scannow", "/scan now", "xscannow",
                             "\"scan now\""})
        EXPECT_FALSE(ParseCommandLine(line).scanNow) << line;
}

TEST(CommandLine, SplitsByTheRuntimeRules) {
    EXPECT_EQ(SplitCommandLine(""), Params{});
    EXPECT_EQ(SplitCommandLine(" a\tb  c "), (Params{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x\" y"), (Params{"C:\\Program Files\\x", "y"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d"), (Params{"ab cd"}));
    EXPECT_EQ(SplitCommandLine("\"\""), (Params{""}));
    // Backslashes are literal unless they precede a quote.
    EXPECT_EQ(SplitCommandLine("C:\\dir\\ x"), (Params{"C:\\dir\\", "x"}));
    EXPECT_EQ(SplitCommandLine("a\\\\\"b c\""), (Params{"a\\b c"}));  // even run: halved, quote groups
    EXPECT_EQ(SplitCommandLine("a\\\"b c"), (Params{"a\"b", "c"}));    // odd run: escaped quote
    EXPECT_EQ(SplitCommandLine("\"say \"\"hi\"\"\""), (Params{"say \"hi\""}));
    EXPECT_EQ(SplitCommandLine("\"unterminated arg"), (Params{"unterminated arg"}));
}

TEST(CommandLine, UpdateWatchTakesTheParametersTheAgentWrites) {
    const auto info = ParseCommandLine(
        dlmgr::UpdateWatchParameters(4012, 77, "C:\\Program Files\\Harbinel\\Zelto Varnel\\varnel.exe"));
    EXPECT_TRUE(info.updateWatch);
    EXPECT_EQ(info.installerPid, 4012u);
    EXPECT_EQ(info.agentPid, 77u);
    EXPECT_EQ(info.restartProgram, "C:\\Program Files\\Harbinel\\Zelto Varnel\\varnel.exe");
    EXPECT_FALSE(info.scanNow);
    // Anything short of two process ids and a path starts an ordinary agent.
    for (const char* line :
         {"updatewatch", "updatewatch 12 34", "updatewatch x 34 C:\\v.exe", "updatewatch 12 -34 C:\\v.exe",
          "updatewatch 12 99999999999 C:\\v.exe", "updatewatch 12 34 \"\"", "updatewatch 12 34 /scannow"})
        EXPECT_FALSE(ParseCommandLine(line).updateWatch) << line;
    EXPECT_TRUE(ParseCommandLine("updatewatch 12 34 /scannow").scanNow);
}
