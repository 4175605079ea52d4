// Decode speed of CMp3File: each file is decoded to the end (224000-byte
// reads, as the engine's play thread asks), several times; the best run is
// reported as seconds and as a multiple of real time.
//   bench_mp3 [-n RUNS] FILE...
#include "media/CMp3File.h"
#include "platform/Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Seconds of audio decoded, or a negative value when the file does not open.
double DecodeOnce(const std::string& path, double* seconds) {
    const auto start = std::chrono::steady_clock::now();
    CMp3File file;
    const std::wstring name = plat::Utf8ToWide(path);
    if (!file.Open(name.c_str())) return -1;
    std::vector<uint8_t> buffer(224000);
    uint64_t bytes = 0;
    while (!file.IsEnd()) {
        const uint32_t n = file.ReadData(buffer.data(), uint32_t(buffer.size()));
        if (n == 0) break;
        bytes += n;
    }
    const MediaFormat* f = file.GetFormat();
    file.Close();
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return double(bytes) / (f->nChannels * 2.0) / f->nSamplesPerSec;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "-n") == 0) {
        runs = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: bench_mp3 [-n RUNS] FILE...\n");
        return 2;
    }
    for (int i = first; i < argc; ++i) {
        double best = 1e30, audio = 0;
        for (int r = 0; r < runs; ++r) {
            double t = 0;
            audio = DecodeOnce(argv[i], &t);
            if (audio < 0) {
                std::fprintf(stderr, "cannot open %s\n", argv[i]);
                return 1;
            }
            best = std::min(best, t);
        }
        std::printf("%s\t%.4f s\t%.1f s audio\t%.0fx real time\n", argv[i], best, audio, audio / best);
    }
    return 0;
}
