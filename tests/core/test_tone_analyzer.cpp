// The tone measurements the Wine driver tests rely on: a 1 kHz tone's
// frequency, level and breaks at 48 kHz.
#include "drivers/test/CToneAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// One second of 1 kHz at 48 kHz.
std::vector<int16_t> Sine(double amplitude) {
    std::vector<int16_t> s(48000);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * 3.14159265358979 * 1000 * i / 48000)));
    return s;
}

TEST(ToneAnalyzer, FrequencyLevelAndBreaksCountedOnceEach) {
    const std::vector<int16_t> s = Sine(16384);
    // A jump to a later phase (12 samples: a quarter cycle), and two silent 20 ms holes.
    std::vector<int16_t> jump(s.begin(), s.begin() + 12000), holes = s;
    jump.insert(jump.end(), s.begin() + 12012, s.end());
    std::fill(holes.begin() + 10000, holes.begin() + 10960, 0);
    std::fill(holes.begin() + 30000, holes.begin() + 30960, 0);
    struct Case {
        std::vector<int16_t> signal;
        double dbfs; // 20 log10(rms * sqrt 2 / 32768)
        int breaks;
    } cases[] = {
        {s, -6.0206, 0},
        {Sine(8192), -12.0412, 0}, // the level the driver tests play
        {jump, -6.0206, 1},
        {holes, -6.0206 + 10 * std::log10(0.96), 2}, // the median window ignores the breaks
    };
    for (const Case& c : cases) {
        ToneStats st = CToneAnalyzer::Analyze(c.signal, 48000, 0, c.signal.size());
        EXPECT_NEAR(st.frequency, 1000, 2) << c.dbfs;
        EXPECT_NEAR(st.levelDbfs, c.dbfs, 0.05) << c.breaks;
        EXPECT_EQ(st.dropouts, c.breaks) << c.dbfs;
    }
}

} // namespace
