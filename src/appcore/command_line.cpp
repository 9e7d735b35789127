#include "appcore/command_line.h"

#include <cstdint>
#include <optional>

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

namespace {
std::optional<uint32_t> ProcessId(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long value = std::stoull(text);
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}
}  // namespace

void CMxproCmdInfo::ParseParam(const std::string& param, bool flag, bool /*last*/) {
    if (watchParamsLeft_ > 0) {
        // Two process ids, then a full path: none of them starts with a
        // switch character, so one that does leaves the watcher unset and is
        // taken as an option of its own.
        const int index = 3 - watchParamsLeft_--;
        const std::optional<uint32_t> pid = flag ? std::nullopt : ProcessId(param);
        if (!flag && (index < 2 ? pid.has_value() : !param.empty())) {
            if (index == 0) installerPid = *pid;
            if (index == 1) agentPid = *pid;
            if (index == 2) {
                restartProgram = param;
                updateWatch = true;
            }
            return;
        }
        watchParamsLeft_ = 0;
    }
    // The switch character has already been taken off, so "/scannow",
    // "-scannow" and "scannow" all arrive as the same word.
    if (textutil::EqualsNoCase(param, "scannow")) scanNow = true;
    if (textutil::EqualsNoCase(param, "updatewatch")) watchParamsLeft_ = 3;
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
