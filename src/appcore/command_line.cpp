#include "appcore/command_line.h"

#include "platform/text.h"

namespace appcore {

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> params;
    size_t i = 0;
    const size_t n = line.size();
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= n) break;
        std::string param;
        bool quoted = false;
        while (i < n) {
            const char c = line[i];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (c == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') { ++slashes; ++i; }
                if (i < n && line[i] == '"') {
                    param.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        param += '"';
                        ++i;
                    }
                    // An even run leaves the quote to the code below.
                } else {
                    param.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    param += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            param += c;
            ++i;
        }
        params.push_back(std::move(param));
    }
    return params;
}

void CMxproCmdInfo::ParseParam(const std::string& param, bool /*flag*/, bool /*last*/) {
    // The switch character has already been taken off, so "/scannow",
    // "-scannow" and "scannow" all arrive as the same word.
    if (textutil::EqualsNoCase(param, "scannow")) scanNow = true;
}

CMxproCmdInfo ParseCommandLine(std::string_view commandLine) {
    CMxproCmdInfo info;
    const std::vector<std::string> params = SplitCommandLine(commandLine);
    for (size_t k = 0; k < params.size(); ++k) {
        std::string param = params[k];
        bool flag = false;
        if (!param.empty() && (param[0] == '/' || param[0] == '-')) {
            flag = true;
            param.erase(0, 1);
        }
        info.ParseParam(param, flag, k + 1 == params.size());
    }
    return info;
}

}  // namespace appcore
