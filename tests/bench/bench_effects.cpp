// Throughput of the effect types at the file's rate and channel count (the
// benchmark script hands it 48 kHz stereo): each type on its own and the
// twenty-one as three full chains, through CEffectManager in 10 ms blocks as the
// engine runs them, timed as CPU time of the thread. Prints one "name|seconds|times real time" line per
// measurement; the best of N runs counts.
// With TYPE (0..20, or "all" for the three chains) only that one is run, so
// a whole-process timer can set it against another program.
// Usage: bench_effects IN.wav [RUNS] [TYPE|all]
#include "effects/CEffectManager.h"
#include "media/CWaveFile.h"
#include "platform/Platform.h"

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<int32_t> Initial(int type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    std::vector<int32_t> v(EFFECT_MAX_VALUES, 0);
    for (int j = 0; info && j < info->params; ++j)
        v[j] = info->param[j].initial;
    return v;
}

// Seconds for one pass of the whole input through a chain of `types`.
double TimeChain(const std::vector<int>& types, const std::vector<int16_t>& input, int channels, int rate) {
    CEffectManager manager;
    manager.SetStreamFormat(channels, rate);
    for (int t : types)
        manager.AddEffect(t, Initial(t).data(), rate, -1);
    const size_t block = static_cast<size_t>(rate / 100) * channels;
    std::vector<int16_t> buffer(block);
    volatile int16_t sink = 0;
    // CPU time of this thread: the machine may be shared, and "times real time
    // on one core" is about the work, not about who else runs.
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (size_t at = 0; at + block <= input.size(); at += block) {
        std::copy(input.begin() + at, input.begin() + at + block, buffer.begin());
        manager.ProcessChain(buffer.data(), static_cast<int32_t>(block));
        manager.ReadChainOutput(buffer.data(), static_cast<int32_t>(block));
        sink = sink + buffer[0];
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
}

double Best(const std::vector<int>& types, const std::vector<int16_t>& input, int channels, int rate,
            int runs) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r)
        best = std::min(best, TimeChain(types, input, channels, rate));
    return best;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_effects IN.wav [RUNS] [TYPE|all]\n");
        return 1;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    CWaveFile in;
    std::wstring name = plat::Utf8ToWide(argv[1]);
    if (!in.Open(name.c_str()) || in.GetFormatTag() != 1 || in.GetHeader().wBitsPerSample != 16) {
        std::fprintf(stderr, "cannot open %s as 16-bit PCM WAV\n", argv[1]);
        return 1;
    }
    const int channels = in.GetHeader().nChannels;
    const int rate = static_cast<int>(in.GetHeader().nSamplesPerSec);
    std::vector<int16_t> input(static_cast<size_t>(in.GetFrames()) * channels);
    in.Rewind();
    uint32_t got = in.ReadData(input.data(), static_cast<uint32_t>(input.size() * 2));
    input.resize(got / 2);
    const double seconds = static_cast<double>(input.size()) / channels / rate;
    std::printf("input|%.3f s|%d Hz|%d channels\n", seconds, rate, channels);

    if (only.empty()) {
        const double empty = Best({}, input, channels, rate, runs);
        std::printf("empty chain|%.4f|%.0f\n", empty, seconds / empty);
    }
    for (int t = 0; t < EFFECT_TYPE_COUNT; ++t) {
        if (!only.empty() && only != std::to_string(t)) continue;
        double s = Best({t}, input, channels, rate, runs);
        CEffectManager names;
        std::string label = plat::WideToUtf8(names.GetEffectName(t));
        std::printf("%s|%.4f|%.0f\n", label.c_str(), s, seconds / s);
    }
    if (!only.empty() && only != "all") return 0;
    // A chain holds ten: the twenty-one run as three full chains.
    std::vector<int> a, b, c;
    for (int t = 0; t < 10; ++t)
        a.push_back(t);
    for (int t = 10; t < 20; ++t)
        b.push_back(t);
    c.push_back(20);
    double sa = Best(a, input, channels, rate, runs);
    double sb = Best(b, input, channels, rate, runs);
    double sc = Best(c, input, channels, rate, runs);
    std::printf("chain 0-9|%.4f|%.0f\n", sa, seconds / sa);
    std::printf("chain 10-19|%.4f|%.0f\n", sb, seconds / sb);
    std::printf("chain 20|%.4f|%.0f\n", sc, seconds / sc);
    std::printf("all twenty-one|%.4f|%.1f\n", sa + sb + sc, seconds / (sa + sb + sc));
    return 0;
}
