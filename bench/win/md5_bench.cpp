// Throughput of the agent's file digest (CFileMd5: CryptoAPI, sequential
// reads) on one file, best of several runs, for the agent's block size and,
// for comparison, a smaller and a larger one. Prints one line per block size
// (AGENT is "agent" for the block size the agent uses, else "-"):
//   cfilemd5 BLOCK DIGEST MB/s AGENT
// Usage: bench_md5_win FILE [RUNS]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win/win.h"
#include "scanners/win/file_md5.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_md5_win FILE [RUNS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        std::fprintf(stderr, "bench_md5_win: cannot read %s\n", path.c_str());
        return 1;
    }
    const double megabytes =
        (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / (1024.0 * 1024.0);

    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    for (size_t block : {size_t{1024}, fileid::CFileMd5::kBlockSize, size_t{1024 * 1024}}) {
        double best = 0;
        std::string digest;
        for (int i = 0; i < runs; ++i) {
            LARGE_INTEGER start, end;
            ::QueryPerformanceCounter(&start);
            digest = fileid::CFileMd5(path, block).Digest();
            ::QueryPerformanceCounter(&end);
            const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
            if (digest.empty()) {
                std::fprintf(stderr, "bench_md5_win: no digest for %s\n", path.c_str());
                return 1;
            }
            if (seconds > 0 && megabytes / seconds > best) best = megabytes / seconds;
        }
        std::printf("cfilemd5 %zu %s %.1f %s\n", block, digest.c_str(), best,
                    block == fileid::CFileMd5::kBlockSize ? "agent" : "-");
    }
    return 0;
}
