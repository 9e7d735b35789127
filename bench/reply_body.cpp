// Reading a reply body in the pieces WinInet hands out (the data available
// at each moment, a few KB at a time) into the capped ReplyBody, against
// copying the same bytes into a buffer allocated once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "service/talker.h"

namespace {

// A 2 MB reply, about what a check of a large watch list brings back.
const std::string& Reply() {
    static const std::string reply = [] {
        std::string r;
        while (r.size() < 2u * 1024u * 1024u)
            r += "<update><Sequence>12</Sequence><CurrentVers>10.2.1</CurrentVers><Outdated>true</Outdated></update>\r\n";
        return r;
    }();
    return reply;
}

void BM_CopyIntoOneBuffer(benchmark::State& state) {
    const std::string& reply = Reply();
    for (auto _ : state) {
        std::string out(reply.size(), '\0');
        std::memcpy(&out[0], reply.data(), reply.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_CopyIntoOneBuffer);

// The same pieces appended to a plain string.
void BM_StringAppendInPieces(benchmark::State& state) {
    const std::string& reply = Reply();
    const size_t piece = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        std::string body;
        for (size_t at = 0; at < reply.size(); at += piece) body.append(reply, at, piece);
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_StringAppendInPieces)->Arg(1024)->Arg(8 * 1024)->Arg(64 * 1024);

// Pieces of `piece` bytes, each reserved, filled and committed.
void BM_ReplyBodyInPieces(benchmark::State& state) {
    const std::string& reply = Reply();
    const size_t piece = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        vnxml::ReplyBody body;
        for (size_t at = 0; at < reply.size(); at += piece) {
            const size_t n = reply.size() - at < piece ? reply.size() - at : piece;
            char* room = body.Reserve(n);
            std::memcpy(room, reply.data() + at, n);
            body.Commit(n);
        }
        benchmark::DoNotOptimize(body.Data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_ReplyBodyInPieces)->Arg(1024)->Arg(8 * 1024)->Arg(64 * 1024);

}  // namespace
