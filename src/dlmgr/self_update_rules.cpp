#include "dlmgr/self_update_rules.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/text.h"

namespace dlmgr {
namespace {

std::vector<std::string_view> SplitDots(std::string_view s) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = s.find('.', start);
        parts.push_back(s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) return parts;
        start = dot + 1;
    }
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// <0, 0, >0 for two components.
int CompareComponent(std::string_view a, std::string_view b) {
    if (AllDigits(a) && AllDigits(b)) {
        // Numbers of any length: drop leading zeros, then the longer is larger.
        a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
        b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
        return a.compare(b);
    }
    return textutil::CompareNoCase(a, b);
}

}  // namespace

bool IsDeviceName(std::string_view name) {
    // The part before the first dot is what Windows matches ("nul.msi" is NUL).
    std::string base = textutil::ToLowerAscii(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const std::array<const char*, 6> kNames = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* n : kNames)
        if (base == n) return true;
    return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
           base[3] >= '0' && base[3] <= '9';
}

bool IsNewerVersion(std::string_view offered, std::string_view own) {
    const std::vector<std::string_view> a = SplitDots(offered);
    const std::vector<std::string_view> b = SplitDots(own);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const int c = CompareComponent(a[i], b[i]);
        if (c != 0) return c > 0;
    }
    return false;
}

std::optional<std::string> UpdateFileName(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    const size_t slash = url.find_last_of("/\\");
    if (slash != std::string_view::npos) url.remove_prefix(slash + 1);
    std::string name;
    for (char c : url) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) continue;
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) continue;
        name.push_back(c);
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty() || name.size() > 200 || IsDeviceName(name)) return std::nullopt;
    return name;
}

std::optional<InstallerCommand> InstallerCommandFor(const std::string& path, bool productInstalled) {
    const std::string ext = textutil::ExtensionOf(path);
    if (textutil::EqualsNoCase(ext, "exe")) return InstallerCommand{path, "/S"};
    if (textutil::EqualsNoCase(ext, "msi"))
        return InstallerCommand{
            "msiexec.exe",
            textutil::Format(productInstalled ? "/i \"%s\" /qn REINSTALL=ALL REINSTALLMODE=vomus /norestart"
                                              : "/i \"%s\" /qn /norestart",
                             path.c_str()),
            "runas"};
    return std::nullopt;
}

std::string UpdateWatchParameters(uint32_t installerPid, uint32_t agentPid, const std::string& program) {
    // A path holds no quote; a trailing backslash before the closing quote
    // would escape it, and a program's path never ends in one.
    return textutil::Format("%s %lu %lu \"%s\"", kUpdateWatchSwitch, static_cast<unsigned long>(installerPid),
                            static_cast<unsigned long>(agentPid), program.c_str());
}

InstallerOutcome InstallerOutcomeOf(std::optional<uint32_t> exitCode) {
    if (!exitCode) return InstallerOutcome::Unknown;
    return *exitCode == 0 || *exitCode == 3010 ? InstallerOutcome::Succeeded : InstallerOutcome::Failed;
}

std::string AgentToRestart(InstallerOutcome outcome, const std::string& installedProgram,
                           const std::string& runningProgram) {
    if (outcome == InstallerOutcome::Failed || installedProgram.empty()) return runningProgram;
    return installedProgram;
}

}  // namespace dlmgr
