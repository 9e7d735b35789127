// Saving and loading a 10,000-item watch list against writing and reading the
// same number of bytes raw, in one run. The raw figures use the same file
// primitives as the list (atomic replacement with flush, whole-file read), so
// the difference is the cost of the format; the plain variant, without the
// flush, shows what the flush itself costs here.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "inventory/database.h"
#include "inventory/list_base.h"
#include "inventory/watch_item.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

constexpr int kItems = 10000;

// Field sizes as a real watch list has them: paths of 60-100 characters,
// braced GUIDs, product names, dotted versions, signatures of ~150 characters.
std::unique_ptr<VN_WatchItem> RealisticItem(int i) {
    using textutil::Format;
    auto w = std::make_unique<VN_WatchItem>();
    const std::string vendor = Format("Vendor %03d Software Corporation", i % 400);
    const std::string product = Format("Product %05d Professional Edition", i);
    const std::string folder = Format("C:\\Program Files (x86)\\Vendor %03d\\Product %05d\\", i % 400, i);
    w->progName = product;
    w->myVersion = Format("%d.%d.%d.%d", i % 20, i % 7, i % 1000, i % 10000);
    w->currentVers = Format("%d.%d.%d.%d", i % 20 + 1, 0, 0, 0);
    w->currentDate = "2024-03-15";
    w->productId = Format("%d", 100000 + i);
    w->productUrl = Format("https://www.example.com/product/%d/details.html", 100000 + i);
    w->directDlUrl = Format("https://download.example.com/files/%d/setup_%d.exe", 100000 + i, i);
    w->outdated = i % 3 == 0;
    w->updateAvailable = w->outdated;
    if (i % 4 == 0) {
        w->productGuid = Format("{%08X-1234-5678-9ABC-%012X}", i, i * 7);
        w->keyName = w->productGuid;
        w->uninstallString = "MsiExec.exe /X" + w->productGuid;
    } else {
        w->uninstallString = "\"" + folder + "uninstall.exe\" /S";
        w->keyName = product;
    }
    w->signature = product + "|" + vendor + "|" + w->myVersion + "|1033|" + w->uninstallString;
    w->iconPath = folder + "app.exe,0";
    w->matchedPvId = Format("pv-%d", 500000 + i);
    w->packageName = vendor;
    w->fileDesc = product + " Application";
    w->shortcutName = Format("C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Vendor %03d\\%s.lnk", i % 400,
                             product.c_str());
    w->targetName = folder + "app.exe";
    w->installedVers = w->myVersion;
    w->installedVers2 = Format("%d.%d", i % 20, i % 7);
    w->description = product + " main program";
    w->executableName = "app.exe";
    w->source = i % 2 ? "exe" : "registry";
    return w;
}

struct Fixture {
    Fixture() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "varnel-bench-XXXXXX").string();
        if (!::mkdtemp(&tmpl[0])) std::abort();
        folder = tmpl;
        for (int i = 0; i < kItems; ++i) list.AddTail(RealisticItem(i));
        list.SaveFile(folder + "/varnel.db");
        bytes = *platform::ReadWholeFile(folder + "/varnel.db");
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
    std::string folder;
    VN_ListBase list;
    std::string bytes;
};

Fixture& Data() {
    static Fixture fixture;
    return fixture;
}

// Save, then load into an empty list. Deleting the loaded items is neither
// saving nor loading; it is timed apart in BM_ListSaveLoadClear.
void BM_ListSaveLoad(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/list.db";
    VN_ListBase loaded;
    for (auto _ : state) {
        f.list.SaveFile(path);
        if (!loaded.LoadFile(path) || loaded.GetCount() != kItems) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.GetAt(0));
        state.PauseTiming();
        loaded.Clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size() * 2));
    state.counters["file_bytes"] = static_cast<double>(f.bytes.size());
}

void BM_ListSaveLoadClear(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/list.db";
    VN_ListBase loaded;
    for (auto _ : state) {
        f.list.SaveFile(path);
        if (!loaded.LoadFile(path) || loaded.GetCount() != kItems) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.GetAt(0));
        loaded.Clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size() * 2));
}

// The two halves of BM_ListSaveLoad apart.
void BM_ListSave(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/list.db";
    for (auto _ : state) f.list.SaveFile(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_ListLoad(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/list.db";
    f.list.SaveFile(path);
    VN_ListBase loaded;
    for (auto _ : state) {
        if (!loaded.LoadFile(path) || loaded.GetCount() != kItems) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.GetAt(0));
        state.PauseTiming();
        loaded.Clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_RawWriteRead(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/raw.db";
    for (auto _ : state) {
        if (!platform::WriteFileAtomically(path, f.bytes)) state.SkipWithError("write failed");
        const std::optional<std::string> back = platform::ReadWholeFile(path);
        if (!back || back->size() != f.bytes.size()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(back->data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size() * 2));
}

void BM_RawWriteReadNoFlush(benchmark::State& state) {
    Fixture& f = Data();
    const std::string path = f.folder + "/plain.db";
    std::string back(f.bytes.size(), '\0');
    for (auto _ : state) {
        FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(f.bytes.data(), 1, f.bytes.size(), out);
        std::fclose(out);
        FILE* in = std::fopen(path.c_str(), "rb");
        if (std::fread(&back[0], 1, back.size(), in) != back.size()) state.SkipWithError("read failed");
        std::fclose(in);
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size() * 2));
}

// The format alone, in memory.
void BM_SerializeParse(benchmark::State& state) {
    Fixture& f = Data();
    inventory::ItemList items;
    for (int i = 0; i < kItems; ++i) items.push_back(RealisticItem(i));
    for (auto _ : state) {
        const std::string image = inventory::SerializeObjectList(items, f.bytes.size());
        inventory::ItemList back = inventory::ParseObjectList(image);
        benchmark::DoNotOptimize(back.data());
        state.PauseTiming();
        back.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size() * 2));
}

// The two halves of the format apart.
void BM_Serialize(benchmark::State& state) {
    Fixture& f = Data();
    inventory::ItemList items;
    for (int i = 0; i < kItems; ++i) items.push_back(RealisticItem(i));
    for (auto _ : state) {
        const std::string image = inventory::SerializeObjectList(items, f.bytes.size());
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_Parse(benchmark::State& state) {
    Fixture& f = Data();
    for (auto _ : state) {
        inventory::ItemList back = inventory::ParseObjectList(f.bytes);
        benchmark::DoNotOptimize(back.data());
        state.PauseTiming();
        back.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

}  // namespace

BENCHMARK(BM_ListSaveLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSaveLoadClear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteReadNoFlush)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializeParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Serialize)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
