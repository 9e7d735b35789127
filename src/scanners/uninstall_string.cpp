#include "scanners/uninstall_string.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "inventory/regexp.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

namespace {

const VN_RegExp& PathPattern() {
    static const VN_RegExp pattern = [] {
        VN_RegExp re;
        re.Compile(kUninstallPathPattern, true);
        return re;
    }();
    return pattern;
}

}  // namespace

VN_UninstallString::VN_UninstallString(std::string commandLine) : raw_(std::move(commandLine)) {
    // The paths are looked for in the command line as UTF-16 would show it;
    // matching the 8-bit form of that text finds the same characters.
    const std::string text = platform::Utf16ToAnsi(platform::AnsiToUtf16(raw_));
    std::vector<VN_RegExpMatch> matches;
    PathPattern().FindAll(text, &matches);  // a search that gives up keeps what it found
    for (const VN_RegExpMatch& match : matches) {
        if (match.groups.empty() || !match.groups[0].IsSet()) continue;
        paths_.push_back(platform::AnsiToUtf16(match.groups[0].Of(text)));
    }
}

std::string VN_UninstallString::GetChangedString() {
    ReplacePathWithSize();
    return changed_;
}

void VN_UninstallString::ReplacePathWithSize() {
    changed_ = raw_;
    try {
        for (const std::u16string& wide : paths_) {
            const std::string path = platform::Utf16ToAnsi(wide);
            changed_ = scanners::ReplaceAllOccurrences(changed_, path, scanners::PathReplacement(path));
        }
    } catch (const std::exception&) {
        vnlog::WriteRaw("*** Error caught exception in VN_UninstallString::ReplacePathWithSize");
    } catch (...) {
        vnlog::WriteRaw("*** Error caught exception in VN_UninstallString::ReplacePathWithSize in catch all block.");
    }
}

bool VN_UninstallString::RunUninstallCommand(const std::string& commandLine, const CommandRunner& runner) {
    const RunResult result = runner ? runner(commandLine) : scanners::RunCommandAndWait(commandLine);
    if (result.started) return true;
    std::printf("CreateProcess failed (%d).\n", static_cast<int>(result.error));
    std::fflush(stdout);
    vnlog::WriteRaw("*** ExeCommand failed: " + commandLine + " \tError: " +
                 textutil::Format("error %d: %s", static_cast<int>(result.error),
                                  textutil::Trim(result.errorText).c_str()));
    return false;
}

namespace scanners {

CommandParts SplitCommandLine(const std::string& commandLine, const std::function<bool(const std::string&)>& exists) {
    const std::string line = textutil::Trim(commandLine);
    const auto after = [&line](size_t at) {
        return at >= line.size() ? std::string() : textutil::Trim(line.substr(at));
    };
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        if (close == std::string::npos) return {line.substr(1), std::string()};
        return {line.substr(1, close - 1), after(close + 1)};
    }
    for (size_t blank = line.find(' '); blank != std::string::npos; blank = line.find(' ', blank + 1)) {
        const std::string program = line.substr(0, blank);
        if (exists(program) || exists(program + ".exe")) return {program, after(blank + 1)};
    }
    if (exists(line) || exists(line + ".exe")) return {line, std::string()};
    const size_t blank = line.find(' ');
    return {line.substr(0, blank), after(blank)};
}

std::string PathReplacement(const std::string& path) {
    if (!platform::FileExists(path) || textutil::EqualsNoCase(textutil::ExtensionOf(path), "log")) return "0";
    const std::optional<uint64_t> size = OpenedFileSize(path);
    if (!size) return "0";
    // The low 32 bits as a signed number: the form stored signatures carry.
    return textutil::Format("%d", static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(*size))));
}

std::string ReplaceAllOccurrences(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    // The occurrences are found with a search rather than a comparison at
    // every character, so that a text without one costs a single pass.
    std::string out;
    out.reserve(text.size());
    size_t copied = 0, i = 0;
    for (size_t next; (next = text.find(from, i)) != std::string::npos;) {
        // Step over whole characters up to it: an occurrence that starts on
        // a trail byte does not count, and the search goes on after it.
        while (i < next)
            i += platform::IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i != next) continue;
        out.append(text, copied, next - copied);
        out += to;
        i = copied = next + from.size();
    }
    out.append(text, copied, std::string::npos);
    return out;
}

std::vector<FollowedProcess> ProcessesToFollow(const std::vector<ListedProcess>& listed,
                                               const std::vector<FollowedProcess>& followed,
                                               const std::function<std::optional<uint64_t>(uint32_t id)>& createdAt) {
    const auto find = [&followed](uint32_t id) {
        return std::find_if(followed.begin(), followed.end(), [id](const FollowedProcess& p) { return p.id == id; });
    };
    std::vector<FollowedProcess> out;
    for (const ListedProcess& process : listed) {
        const auto parent = find(process.parentId);
        if (parent == followed.end() || find(process.id) != followed.end()) continue;
        const std::optional<uint64_t> created = createdAt(process.id);
        if (created && *created >= parent->created) out.push_back({process.id, *created});
    }
    return out;
}

}  // namespace scanners
