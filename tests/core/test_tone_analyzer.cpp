// The tone measurements the Wine driver tests rely on: frequency, level and
// breaks.
#include "drivers/test/CToneAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// One second of a sine.
std::vector<int16_t> Sine(double hz, double amplitude, int rate) {
    std::vector<int16_t> s(rate);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * 3.14159265358979 * hz * i / rate)));
    return s;
}

TEST(ToneAnalyzer, FrequencyLevelAndBreaksCountedOnceEach) {
    const std::vector<int16_t> s = Sine(1000, 16384, 48000);
    // A jump to a later phase (12 samples: a quarter cycle), and two silent 20 ms holes.
    std::vector<int16_t> jump(s.begin(), s.begin() + 12000), holes = s;
    jump.insert(jump.end(), s.begin() + 12012, s.end());
    std::fill(holes.begin() + 10000, holes.begin() + 10960, 0);
    std::fill(holes.begin() + 30000, holes.begin() + 30960, 0);
    struct Case {
        std::vector<int16_t> signal;
        int rate;
        double hz, dbfs; // 20 log10(rms * sqrt 2 / 32768)
        int breaks;
    } cases[] = {
        {s, 48000, 1000, -6.0206, 0},
        {Sine(440, 8192, 44100), 44100, 440, -12.0412, 0},
        {Sine(97.5, 32767, 8000), 8000, 97.5, -0.0003, 0},
        {Sine(5000, 1638.4, 96000), 96000, 5000, -26.0206, 0},
        {jump, 48000, 1000, -6.0206, 1},
        {holes, 48000, 1000, -6.0206 + 10 * std::log10(0.96), 2}, // the median window ignores the breaks
    };
    for (const Case& c : cases) {
        ToneStats st = CToneAnalyzer::Analyze(c.signal, c.rate, 0, c.signal.size());
        EXPECT_NEAR(st.frequency, c.hz, c.hz * 0.002) << c.hz;
        EXPECT_NEAR(st.levelDbfs, c.dbfs, 0.05) << c.hz;
        EXPECT_EQ(st.dropouts, c.breaks) << c.hz;
    }
}

} // namespace
