// The program's command line. Its options, accepted in any letter case with
// "/", "-" or nothing before them: "scannow" (run one check shortly after
// start-up) and "updatewatch <installer pid> <agent pid> <program>" (the
// watcher that starts the agent again after a self-update; see
// dlmgr/self_update_rules.h), which takes the two parameters after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace appcore {

// Splits the text after the program name into parameters by the C runtime's
// rules: blanks and tabs separate; double quotes group (and are removed); a
// run of backslashes before a quote is halved, an odd run escaping the quote;
// inside quotes two quotes stand for one.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

class CMxproCmdInfo {
public:
    // One parameter as the framework hands it over: without its leading switch
    // character ("/" or "-"), which sets `flag`.
    void ParseParam(const std::string& param, bool flag, bool last);

    bool scanNow = false;
    // Set only when "updatewatch" has both process ids (decimal numbers) and
    // a program path after it.
    bool updateWatch = false;
    uint32_t installerPid = 0;
    uint32_t agentPid = 0;
    std::string restartProgram;

private:
    int watchParamsLeft_ = 0;  // parameters "updatewatch" still takes
};

// Splits the command line and passes each parameter to a CMxproCmdInfo.
CMxproCmdInfo ParseCommandLine(std::string_view commandLine);

}  // namespace appcore
