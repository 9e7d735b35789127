// Costs of the pattern engine on the agent's workloads: the exclusion test
// (every pattern against every program name), the name rewrites, and the
// uninstall-path search; each against a plain substring search over the same
// bytes as the baseline. The hostile cases show that nested repetition stays
// linear in the text: 10x the text should cost about 10x the time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "inventory/regexp.h"

namespace {

const char* const kNames[] = {
    "Foo Bar (Remove Only)", "Contoso Photo Editor 7.2", "Northwind Database Tools (REMOVE OR REPAIR)",
    "Fabrikam Toolbar for Browsers", "Adventure Works Media Player 12", "Tailspin Updater Service",
    "Litware Office Viewer (x64)", "Wingtip Drivers ( remove   only )", "Proseware Backup 2010 SP1",
    "Blue Yonder Chat Client", "Coho Vineyard Label Printer", "Graphic Design Institute Fonts",
};

const char* const kExclusions[] = {
    "Toolbar*", "^Tailspin Updater*", "Hotfix for Windows XP*", "Security Update for*", "^Update for*",
    "Language Pack*", "Driver Package*", "^Microsoft Visual C\\+\\+ 200[58]*", "Redistributable*", "SDK*",
    "Service Pack*", "^KB[0-9]+*",
};

const char kRemoveOnly[] = "{\\b*\\(\\b*R|rE|eM|mO|oV|vE|e\\b+O|oN|nL|lY|y\\b*\\)\\b*}";
const char kUninstallPath[] = "{[a-zA-Z]\\:[^\"\\:\\,]+\\.[a-zA-Z0-9][a-zA-Z0-9][a-zA-Z0-9]}";

const char* const kCommands[] = {
    "\"C:\\Program Files\\Contoso\\Photo Editor\\unins000.exe\" /SILENT",
    "MsiExec.exe /X{11111111-2222-3333-4444-555555555555}",
    "C:\\PROGRA~1\\NORTHW~1\\setup.exe -uninstall -log C:\\Windows\\Temp\\nw.log,D:\\data\\keep.dat",
    "\"C:\\Windows\\SysWOW64\\rundll32.exe\" advpack.dll,LaunchINFSection C:\\Windows\\INF\\tools.inf,Uninstall",
};

void BM_Baseline_FindInNames(benchmark::State& state) {
    std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    for (auto _ : state)
        for (const std::string& name : names)
            for (const char* e : kExclusions) benchmark::DoNotOptimize(name.find(e));
    state.SetItemsProcessed(state.iterations() * std::size(kNames) * std::size(kExclusions));
}

void BM_ExclusionPatterns(benchmark::State& state) {
    std::vector<VN_RegExp> patterns;
    for (const char* e : kExclusions) {
        patterns.emplace_back();
        patterns.back().Compile(e, true);
    }
    for (auto _ : state)
        for (const char* name : kNames)
            for (const VN_RegExp& re : patterns) benchmark::DoNotOptimize(re.Matches(name));
    state.SetItemsProcessed(state.iterations() * std::size(kNames) * std::size(kExclusions));
}

void BM_NameRewrite(benchmark::State& state) {
    VN_RegExp re;
    re.Compile(kRemoveOnly, true);
    std::vector<VN_RegExpMatch> found;
    for (auto _ : state)
        for (const char* name : kNames) {
            found.clear();
            benchmark::DoNotOptimize(re.FindAll(name, &found));
        }
    state.SetItemsProcessed(state.iterations() * std::size(kNames));
}

void BM_UninstallPaths(benchmark::State& state) {
    VN_RegExp re;
    re.Compile(kUninstallPath, true);
    std::vector<VN_RegExpMatch> found;
    for (auto _ : state)
        for (const char* cmd : kCommands) {
            found.clear();
            benchmark::DoNotOptimize(re.FindAll(cmd, &found));
        }
    state.SetItemsProcessed(state.iterations() * std::size(kCommands));
}

// Nested repetition that never matches: exponential for a naive backtracker.
void BM_HostileNestedRepeat(benchmark::State& state) {
    const std::string text(static_cast<size_t>(state.range(0)), 'a');
    VN_RegExp re;
    re.Compile("(a*)*b", true);
    for (auto _ : state) benchmark::DoNotOptimize(re.Match(text, 0, nullptr));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_Baseline_FindInNames);
BENCHMARK(BM_ExclusionPatterns);
BENCHMARK(BM_NameRewrite);
BENCHMARK(BM_UninstallPaths);
BENCHMARK(BM_HostileNestedRepeat)->Arg(1000)->Arg(10000);
