// Measures a recorded sine: where it starts, its frequency, its level and how
// often it breaks. Used by the driver tests and by `sonvel-tool probe` to check
// a render -> capture round trip through real devices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ToneStats {
    double frequency = 0;    // Hz, from interpolated zero crossings
    double rms = 0;          // in sample units
    double levelDbfs = -200; // RMS relative to a full-scale sine (a full-scale sine reads 0 dB)
    int dropouts = 0;        // breaks: a silent stretch or a jump no sine of that level can make
};

class CToneAnalyzer {
  public:
    // First sample whose magnitude reaches `threshold`, or -1.
    static int64_t FindOnset(const std::vector<int16_t>& samples, double threshold);

    // Measures samples [from, to) of a mono signal at `rate`.
    static ToneStats Analyze(const std::vector<int16_t>& samples, int rate, size_t from, size_t to);

    // One channel of interleaved 16-bit frames.
    static std::vector<int16_t> Channel(const int16_t* frames, size_t frameCount, int channels, int channel);
};
