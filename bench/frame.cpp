// The compressed frame on a realistic scan document: packing and unpacking
// against plain zlib compress/uncompress of the same bytes (the frame's own
// cost is its checksum and header) and against copying the bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "service/frame.h"

namespace {

// About 600 watch items as the agent writes them: ~300 KB of XML.
const std::string& Document() {
    static const std::string doc = [] {
        std::string d = "<?xml version=\"1.0\"?>\r\n<meridox revision=\"0\" clientPlatform=\"windows\" "
                        "clientVersion=\"1.3.1.55\">\r\n<software.scanned revision=\"0\">\r\n";
        for (int i = 1; i <= 600; ++i) {
            const std::string n = std::to_string(i);
            d += "<item>\r\n\t<Sequence>" + n + "</Sequence>\r\n<Md5Id src=\"exe\">" + std::string(32, "0123456789abcdef"[i % 16]) +
                 "</Md5Id><ProcessIdentity>\r\n <BaseName>program" + n + ".exe</BaseName>\r\n <PathName>C:\\Program "
                 "Files\\Vendor " + n + "\\program" + n + ".exe</PathName>\r\n <Version from=\"FileVersion_FIXEDFILEINFO\">" +
                 n + ".0.0." + n + "</Version>\r\n</ProcessIdentity>\t<ProgName>Program number " + n +
                 "</ProgName>\r\n\t<InstalledVers>" + n + ".0</InstalledVers>\r\n\t<Source>Registry</Source>\r\n"
                 "\t<ExecutableName>program" + n + ".exe</ExecutableName>\r\n</item>\r\n";
        }
        return d + "</software.scanned>\r\n</meridox>\r\n";
    }();
    return doc;
}

void BM_Copy(benchmark::State& state) {
    const std::string& doc = Document();
    std::string out(doc.size(), '\0');
    for (auto _ : state) {
        std::memcpy(&out[0], doc.data(), doc.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_ZlibCompress(benchmark::State& state) {
    const std::string& doc = Document();
    std::string out(compressBound(doc.size()), '\0');
    for (auto _ : state) {
        uLongf len = out.size();
        compress(reinterpret_cast<Bytef*>(&out[0]), &len, reinterpret_cast<const Bytef*>(doc.data()), doc.size());
        benchmark::DoNotOptimize(len);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_PackFrame(benchmark::State& state) {
    const std::string& doc = Document();
    size_t size = 0;
    for (auto _ : state) {
        auto frame = vnxml::PackFrame(doc);
        size = frame->size();
        benchmark::DoNotOptimize(frame);
    }
    state.counters["ratio"] = static_cast<double>(doc.size()) / static_cast<double>(size);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_ZlibUncompress(benchmark::State& state) {
    const std::string& doc = Document();
    const std::string stream = vnxml::PackFrame(doc)->substr(vnxml::kFrameHeaderSize);
    std::string out(doc.size(), '\0');
    for (auto _ : state) {
        uLongf len = out.size();
        uncompress(reinterpret_cast<Bytef*>(&out[0]), &len, reinterpret_cast<const Bytef*>(stream.data()),
                   stream.size());
        benchmark::DoNotOptimize(len);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_UnpackFrame(benchmark::State& state) {
    const std::string& doc = Document();
    const std::string frame = *vnxml::PackFrame(doc);
    for (auto _ : state) {
        auto body = vnxml::UnpackFrame(frame);
        benchmark::DoNotOptimize(body);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// A hostile frame claiming 4 GB is refused from its header alone.
void BM_UnpackHostileFrame(benchmark::State& state) {
    std::string frame(24, '\0');
    frame[4] = frame[5] = frame[6] = frame[7] = '\xFF';
    for (auto _ : state) benchmark::DoNotOptimize(vnxml::UnpackFrame(frame));
}

}  // namespace

BENCHMARK(BM_Copy);
BENCHMARK(BM_ZlibCompress);
BENCHMARK(BM_PackFrame);
BENCHMARK(BM_ZlibUncompress);
BENCHMARK(BM_UnpackFrame);
BENCHMARK(BM_UnpackHostileFrame);
