// The tone measurements the driver tests and `sonvel-tool probe` rely on.
#include "drivers/test/CToneAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Sine(double hz, double amplitude, int rate, size_t n, size_t silenceBefore = 0) {
    std::vector<int16_t> s(silenceBefore + n, 0);
    for (size_t i = 0; i < n; ++i)
        s[silenceBefore + i] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * i / rate)));
    return s;
}

TEST(ToneAnalyzer, MeasuresFrequencyAndLevelOfCleanSines) {
    struct Case {
        double hz, amplitude;
        int rate;
        double dbfs; // 20 log10(amplitude / 32768)
    } cases[] = {
        {1000, 16384, 48000, -6.0206},
        {440, 8192, 44100, -12.0412},
        {97.5, 32767, 8000, -0.0003},
        {5000, 1638.4, 96000, -26.0206},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> s = Sine(c.hz, c.amplitude, c.rate, c.rate); // one second
        ToneStats st = CToneAnalyzer::Analyze(s, c.rate, 0, s.size());
        EXPECT_NEAR(st.frequency, c.hz, c.hz * 0.002) << c.hz;
        EXPECT_NEAR(st.levelDbfs, c.dbfs, 0.05) << c.hz;
        EXPECT_NEAR(st.rms, c.amplitude / std::sqrt(2.0), c.amplitude * 0.002 + 0.5) << c.hz;
        EXPECT_EQ(st.dropouts, 0) << c.hz;
    }
}

TEST(ToneAnalyzer, CountsBreaksOnceEach) {
    const int rate = 48000;
    std::vector<int16_t> s = Sine(1000, 16000, rate, rate);
    // A lost 10 ms block: the signal jumps to a later phase (2.5 ms into the cycle... a quarter).
    std::vector<int16_t> lost(s.begin(), s.begin() + 12000);
    lost.insert(lost.end(), s.begin() + 12012, s.end());
    // Two silent 20 ms holes.
    std::vector<int16_t> holes = s;
    std::fill(holes.begin() + 10000, holes.begin() + 10960, 0);
    std::fill(holes.begin() + 30000, holes.begin() + 30960, 0);
    struct Case {
        const std::vector<int16_t>* signal;
        int breaks;
    } cases[] = {{&s, 0}, {&lost, 1}, {&holes, 2}};
    for (const Case& c : cases) {
        ToneStats st = CToneAnalyzer::Analyze(*c.signal, rate, 0, c.signal->size());
        EXPECT_EQ(st.dropouts, c.breaks);
        EXPECT_NEAR(st.frequency, 1000, 2); // the median window ignores the breaks
    }
}

TEST(ToneAnalyzer, OnsetAndEdgeCases) {
    std::vector<int16_t> s = Sine(1000, 16384, 48000, 4800, 1000);
    // sin reaches a quarter of its peak at 0.0402 cycles: sample 2 of the tone at 48 kHz / 1 kHz.
    EXPECT_EQ(CToneAnalyzer::FindOnset(s, 0.25 * 16384), 1000 + 2);
    EXPECT_EQ(CToneAnalyzer::FindOnset(std::vector<int16_t>(100, 0), 1), -1);
    ToneStats empty = CToneAnalyzer::Analyze(s, 48000, 10, 10);
    EXPECT_EQ(empty.frequency, 0);
    EXPECT_EQ(empty.levelDbfs, -200);
    ToneStats silence = CToneAnalyzer::Analyze(std::vector<int16_t>(4800, 0), 48000, 0, 4800);
    EXPECT_EQ(silence.levelDbfs, -200);
    EXPECT_EQ(silence.dropouts, 0);
    const int16_t frames[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(CToneAnalyzer::Channel(frames, 3, 2, 1), (std::vector<int16_t>{2, 4, 6}));
}

} // namespace
