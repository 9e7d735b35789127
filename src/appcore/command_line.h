// The program's command line. The only option of its own is "scannow" (run
// one check shortly after start-up), accepted in any letter case with "/",
// "-" or nothing before it.
#pragma once

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
};

// Splits the command line and passes each parameter to a CMxproCmdInfo.
CMxproCmdInfo ParseCommandLine(std::string_view commandLine);

}  // namespace appcore
