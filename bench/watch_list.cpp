// One inventory pass over a watch list that already holds every program: each
// item of a 1,000-item and of a 10,000-item list (and of a 100,000-item one,
// to show the growth once no list fits in the caches) is handed to AddOrMerge
// again, a new pass each time, so the identity index is rebuilt as in a real
// scan. Beside it, in the same run: the walk that AddOrMerge replaced
// (IsSameItem against every entry in list order), and the cost of merely
// touching each entry's fields once, which is what the memory hierarchy alone
// makes of the larger lists.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "inventory/watch_list.h"
#include "platform/text.h"

namespace {

// Programs as a scan finds them: Start Menu shortcuts, uninstall entries of
// the registry (a quarter of them installer products), with the field sizes
// of real machines.
std::unique_ptr<VN_WatchItem> ScannedProgram(int i) {
    using textutil::Format;
    auto w = std::make_unique<VN_WatchItem>();
    const std::string product = Format("Product %05d Professional Edition", i);
    const std::string folder = Format("C:\\Program Files (x86)\\Vendor %03d\\Product %05d\\", i % 400, i);
    w->progName = product;
    w->packageName = Format("Vendor %03d Software Corporation", i % 400);
    w->installedVers = Format("%d.%d.%d.%d", i % 20, i % 7, i % 1000, i % 10000);
    w->installedVers2 = w->installedVers;
    w->installedVers3 = Format("%d.%d", i % 20, i % 7);
    if (i % 3 == 0) {
        // An uninstall entry of the registry.
        w->keyName = i % 4 == 0 ? Format("{%08X-1234-5678-9ABC-%012X}", i, i * 7) : product;
        w->uninstallString = i % 4 == 0 ? "MsiExec.exe /X" + w->keyName : "\"" + folder + "uninstall.exe\" /S";
        w->signature = product + "|" + w->packageName + "|" + w->installedVers + "|1033|" + w->uninstallString;
        w->source = "registry";
    } else {
        // A program found through a shortcut.
        w->targetName = folder + "app.exe";
        w->executableName = "app.exe";
        w->shortcutName = Format("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Vendor %03d\\%s.lnk",
                                 i % 400, product.c_str());
        w->source = "exe";
        if (i % 5 == 0) {
            w->SetProductGuid(Format("{%08X-4321-8765-CBA9-%012X}", i, i * 3));
            w->componentGuid = Format("{%08X-AAAA-BBBB-CCCC-%012X}", i, i * 5);
        }
    }
    return w;
}

struct Pass {
    VN_WatchList list;
    std::vector<std::unique_ptr<VN_WatchItem>> scans;

    explicit Pass(int count) {
        for (int i = 0; i < count; ++i) {
            scans.push_back(ScannedProgram(i));
            list.AddOrMerge(*scans.back(), false, false);
        }
    }
};

void ReAddEveryItem(benchmark::State& state) {
    Pass pass(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pass.list.IncrementScanCount();
        for (const auto& scanned : pass.scans) pass.list.AddOrMerge(*scanned, false, false);
    }
    if (pass.list.GetCount() != pass.scans.size()) state.SkipWithError("a program was added twice");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ReAddEveryItem)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The baseline: the first entry in list order for which IsSameItem holds.
void WalkForEveryItem(benchmark::State& state) {
    Pass pass(static_cast<int>(state.range(0)));
    const std::vector<VN_WatchItem*> entries = pass.list.WatchItems();
    size_t found = 0;
    for (auto _ : state) {
        for (const auto& scanned : pass.scans) {
            for (VN_WatchItem* entry : entries) {
                if (entry->IsSameItem(*scanned)) {
                    ++found;
                    break;
                }
            }
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(WalkForEveryItem)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The floor the memory hierarchy sets: each scanned item compared with its own
// entry (no search at all), touching about the fields a merge touches. A
// 1,000-item list and its scans fit in this machine's caches, larger ones do
// not, so even this grows faster than the item count.
void TouchFieldsBaseline(benchmark::State& state) {
    Pass pass(static_cast<int>(state.range(0)));
    const std::vector<VN_WatchItem*> entries = pass.list.WatchItems();
    size_t same = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < entries.size(); ++i) {
            const VN_WatchItem& scanned = *pass.scans[i];
            VN_WatchItem& entry = *entries[i];
            same += entry.targetName == scanned.targetName && entry.progName == scanned.progName &&
                    entry.signature == scanned.signature && entry.keyName == scanned.keyName &&
                    entry.executableName == scanned.executableName;
            entry.scanStamp = static_cast<int32_t>(same);
        }
    }
    benchmark::DoNotOptimize(same);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(TouchFieldsBaseline)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
