// One check request through the reference service: reading the document
// alone (the baseline), and the whole answer (reading, recognising every item
// against the seed catalogue, storing the scan and writing the reply).
#include <benchmark/benchmark.h>

#include "platform/files.h"
#include "scan_service.h"

namespace {

const char* const kNames[] = {"Mozilla Firefox (x64 en-US)", "7-Zip 23.01 (x64)", "Notepad++ (64-bit x64)",
                              "Contoso Widget", "VLC media player", "Git", "Python 3.12.1 (64-bit)",
                              "Unknown Tool 4"};

// 500 items, about one in eight unknown to the catalogue.
std::string CheckDocument(const std::string& machineId) {
    std::string d = "<?xml version=\"1.0\"?>\r\n<meridox revision=\"0\" clientPlatform=\"windows\" clientVersion=\"1.3.1.55\">\r\n"
                    "<authentication>\r\n <machinename>BENCH</machinename>\r\n <machineid>" + machineId +
                    "</machineid>\r\n</authentication><software.scanned revision=\"0\">\r\n";
    for (int i = 1; i <= 500; ++i)
        d += "<item>\r\n\t<Sequence>" + std::to_string(i) + "</Sequence>\r\n\t<ProgName>" + kNames[i % 8] +
             "</ProgName>\r\n\t<InstalledVers>1." + std::to_string(i) + "</InstalledVers>\r\n\t<Source>Registry</Source>\r\n"
             "\t<ExecutableName>tool" + std::to_string(i) + ".exe</ExecutableName>\r\n</item>\r\n";
    return d + "</software.scanned>\r\n</meridox>\r\n";
}

void BM_ReadCheckDocument(benchmark::State& state) {
    const std::string doc = CheckDocument("0b7c1e52-9f3a-4d0e-8b1c-2a3f4e5d6c7b");
    for (auto _ : state) benchmark::DoNotOptimize(vnservice::ParseScanRequest(doc));
    state.counters["items"] = 500;
}

void BM_AnswerCheck(benchmark::State& state) {
    vnservice::ServiceStore store(":memory:");
    {
        auto lock = store.Lock();
        store.ReplaceCatalogue({platform::ReadWholeFile(VARNEL_SERVICE_SEED).value_or("")});
    }
    vnservice::ScanService service(store, "http://127.0.0.1:8080");
    // Register the machine once; every later check replaces the scan's items.
    vnservice::ScanRequest first = vnservice::ParseScanRequest(CheckDocument("")).request;
    const std::string machine = service.Handle(first).machineId;
    const std::string doc = CheckDocument(machine);
    for (auto _ : state) {
        const auto parsed = vnservice::ParseScanRequest(doc);
        benchmark::DoNotOptimize(service.Handle(parsed.request));
    }
    state.counters["items"] = 500;
}

}  // namespace

BENCHMARK(BM_ReadCheckDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnswerCheck)->Unit(benchmark::kMillisecond);
