// Writing the check request for a large machine: 2,000 watch items and 200
// drivers, without file digests (those are read from disk and measured by
// the file-digest benchmarks), against writing the same number of bytes raw
// into the same kind of memory buffer. The ratio is the writer's own cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "inventory/driver_data.h"
#include "inventory/item_services.h"
#include "inventory/watch_item.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "service/item_xml.h"
#include "service/xml_buffer.h"

namespace {

class NoDigests final : public vnxml::IScanDocumentServices {
public:
    std::string FileDigest(const std::string&, const vnxml::StopTest&) override { return std::string(); }
    std::string ProgramDigest() override { return "5d41402abc4b2a76b9719d911017c592"; }
    std::string IconElements(const std::string&, const std::string&) override { return std::string(); }
    std::string LoadText(int id) override { return platform::LoadText(id); }
};

// Every suite has the same handful of installer properties.
class Installer final : public inventory::IInstallerQuery {
public:
    std::optional<std::string> ProductInfo(const std::string& code, const std::string& property) override {
        if (property == "InstalledProductName") return "Suite " + code;
        if (property == "VersionString") return std::string("16.0.4266.1001");
        if (property == "Publisher") return std::string("Example Corporation");
        if (property == "URLInfoAbout") return std::string("https://www.example.com/suite?x=1&y=2");
        return std::nullopt;
    }
};

struct Machine {
    VN_ListBase watch;
    Views::CDriverData drivers;

    Machine() {
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore("BENCH-PC"));
        vnxml::InstallScanDocumentServices(std::make_unique<NoDigests>());
        inventory::InstallInstallerQuery(std::make_unique<Installer>());
        for (int i = 0; i < 2000; ++i) {
            const std::string n = std::to_string(i);
            auto item = std::make_unique<VN_WatchItem>();
            item->progName = "Program number " + n + " & friends";
            item->packageName = "Vendor " + n + " Ltd.";
            item->installedVers = n + ".1.0";
            item->installedVers2 = n + ".1.0.17";
            item->executableName = "program" + n + ".exe";
            item->source = i % 2 ? "exe" : "registry";
            item->signature = "Program number " + n + " " + item->installedVers;
            if (i % 3 == 0) {
                // A program file that is not on this machine: its identity element has no versions.
                item->targetName = "C:\\Program Files\\Vendor " + n + "\\program" + n + ".exe";
                item->shortcutName = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Program " + n + ".lnk";
            }
            if (i % 10 == 0) item->productGuid = "{00000000-0000-0000-0000-" + std::string(12 - n.size(), '0') + n + "}";
            if (i % 20 == 0) item->componentGuid = "{11111111-0000-0000-0000-" + std::string(12 - n.size(), '0') + n + "}";
            if (i % 7 == 0) item->serverId = "fp-" + n;
            watch.AddTail(std::move(item));
        }
        for (int i = 0; i < 200; ++i) {
            const std::string n = std::to_string(i);
            auto driver = std::make_unique<VN_DriverItem>();
            driver->deviceDesc = "Device " + n;
            driver->deviceClass = "System";
            driver->deviceMfg = "(Standard system devices)";
            driver->driverDate = "6-21-2006";
            driver->driverDesc = "Device " + n;
            driver->driverVersion = "10.0.19041." + n;
            driver->driverProvider = "Microsoft";
            driver->matchingDeviceId = "PCI\\VEN_8086&DEV_" + n;
            driver->files = "driver" + n + ".sys";
            driver->infPath = "machine.inf";
            driver->hardwareIds = {"PCI\\VEN_8086&DEV_" + n + "&SUBSYS_00000000&REV_01", "PCI\\VEN_8086&DEV_" + n};
            driver->compatibleIds = {"PCI\\CC_0600"};
            drivers.AddTail(std::move(driver));
        }
    }

    std::unique_ptr<vnxml::CXMLBuffer> Buffer() {
        auto buffer = std::make_unique<vnxml::CXMLBuffer>(&watch, &drivers, vnxml::kCheckRequest);
        buffer->clock.fixedTime = 1719562602;
        buffer->clock.zone = platform::TimeZoneState();
        sysinfo::SystemFacts facts;
        facts.processorCount = 8;
        buffer->profile = VN_Profile(facts, VN_ProfileMfg());
        return buffer;
    }
};

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

const std::string& TheDocument() {
    static const std::string text = [] {
        vnxml::CXMLMemorySink sink;
        TheMachine().Buffer()->WriteDocument(sink);
        return sink.Str();
    }();
    return text;
}

void BM_CheckDocument(benchmark::State& state) {
    Machine& machine = TheMachine();
    size_t bytes = 0;
    for (auto _ : state) {
        auto buffer = machine.Buffer();
        vnxml::CXMLMemorySink sink;
        if (buffer->WriteDocument(sink)) state.SkipWithError("the document was not written");
        bytes = sink.Length();
        benchmark::DoNotOptimize(sink.Text());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["document_bytes"] = static_cast<double>(bytes);
}

// The same bytes in the same number of pieces as lines of the document,
// straight into a memory sink.
void BM_RawLines(benchmark::State& state) {
    const std::string& doc = TheDocument();
    for (auto _ : state) {
        vnxml::CXMLMemorySink sink;
        for (size_t at = 0; at < doc.size();) {
            size_t end = doc.find('\n', at);
            end = end == std::string::npos ? doc.size() : end + 1;
            sink.Write(std::string_view(doc).substr(at, end - at));
            at = end;
        }
        benchmark::DoNotOptimize(sink.Text());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// The same bytes in one write.
void BM_RawWhole(benchmark::State& state) {
    const std::string& doc = TheDocument();
    for (auto _ : state) {
        vnxml::CXMLMemorySink sink;
        sink.Write(doc);
        benchmark::DoNotOptimize(sink.Text());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// As the agent writes "submit.xml": through a C stream (here to the null device).
void BM_CheckDocumentToFile(benchmark::State& state) {
    Machine& machine = TheMachine();
    std::FILE* file = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        auto buffer = machine.Buffer();
        if (buffer->WriteDocument(file)) state.SkipWithError("the document was not written");
    }
    std::fclose(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TheDocument().size()));
}

void BM_RawLinesToFile(benchmark::State& state) {
    const std::string& doc = TheDocument();
    std::FILE* file = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        for (size_t at = 0; at < doc.size();) {
            size_t end = doc.find('\n', at);
            end = end == std::string::npos ? doc.size() : end + 1;
            std::fwrite(doc.data() + at, 1, end - at, file);
            at = end;
        }
    }
    std::fclose(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

BENCHMARK(BM_CheckDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckDocumentToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLinesToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWhole)->Unit(benchmark::kMillisecond);

}  // namespace
