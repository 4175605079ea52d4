// Sample conversions: every layout, rounding and saturation. The mix, gain and
// channel arithmetic is checked through the engine in the recording and playback tables.
#include "engine/SampleOps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace sampleops;

TEST(EngineSampleOps, PlayFileConversionToStereo16) {
    const int16_t three16[] = {1, 2, 3, 4, 5, 6, 7};
    const float floats[] = {0.5f, -0.25f, 1.5f, -2.0f, 0.00002f, -0.00002f};
    const uint8_t mono8[] = {128, 255, 0};
    const uint8_t zeros[8] = {};
    auto bytes = [](const auto& a) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(a);
        return std::vector<uint8_t>(p, p + sizeof a);
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> raw;
        PcmLayout layout;
        std::vector<int16_t> out;
    } cases[] = {
        // 8-bit: (u - 128) << 8, on both channels.
        {"8-bit mono", bytes(mono8), {1, 8, 1}, {0, 0, 32512, 32512, -32768, -32768}},
        // Float: x * 32768 truncated and clamped. (16-bit, 24-bit and exact float
        // play files are checked on what the engine records from them.)
        {"float", bytes(floats), {3, 32, 2}, {16384, -8192, 32767, -32768, 0, 0}},
        // More than two channels: the first two are kept. A partial frame is not converted.
        {"three channels", bytes(three16), {1, 16, 3}, {1, 2, 4, 5}},
        {"12 bits", bytes(zeros), {1, 12, 2}, {}},
        {"16-bit float", bytes(zeros), {3, 16, 2}, {}},
        {"no channels", bytes(zeros), {1, 16, 0}, {}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> out(16, 99);
        EXPECT_EQ(ConvertToStereo16(c.raw.data(), c.raw.size(), c.layout, out.data()), c.out.size() / 2)
            << c.name;
        out.resize(c.out.size());
        EXPECT_EQ(out, c.out) << c.name;
    }
}

TEST(EngineSampleOps, CaptureConversionToInt16) {
    struct Case {
        int tag, bits;
        std::vector<uint8_t> raw; // one little-endian sample
        int gain;
        int16_t out;
    } cases[] = {
        {1, 8, {0xFF}, 8, 32512},
        {1, 8, {0x00}, 8, -32768},
        {1, 24, {0xFF, 0xFF, 0x7F}, 8, 32767},  // full scale saturates, not wraps
        {1, 24, {0x00, 0x00, 0x80}, 8, -32768}, // -full scale
        {1, 24, {0x80, 0x00, 0x00}, 8, 1},      // +0.5 rounds away from zero
        {1, 24, {0x80, 0xFF, 0xFF}, 8, -1},     // -0.5 rounds away from zero
        {1, 24, {0x7F, 0x00, 0x00}, 8, 0},
        {1, 24, {0x00, 0x40, 0x00}, 16, 128}, // gain after conversion
        {1, 32, {0xFF, 0xFF, 0xFF, 0x7F}, 8, 32767},
        {1, 32, {0x00, 0x00, 0x00, 0x80}, 8, -32768},
        {1, 32, {0x00, 0x80, 0x00, 0x00}, 8, 1},
        {1, 32, {0x00, 0x80, 0xFF, 0xFF}, 8, -1},
        {3, 32, {0x00, 0x00, 0x80, 0x3F}, 8, 32767},  // 1.0
        {3, 32, {0x00, 0x00, 0x80, 0xBF}, 8, -32768}, // -1.0
        {3, 32, {0x00, 0x00, 0xC0, 0x3F}, 8, 32767},  // 1.5 saturates
        {3, 32, {0x00, 0x00, 0x80, 0x7F}, 8, 32767},  // +infinity saturates, never wraps to -full
        {3, 32, {0x00, 0x00, 0x80, 0x37}, 8, 1},      // 2^-16: half a step rounds up
        {1, 12, {0x00, 0x10}, 8, 7},                  // unsupported: nothing written
    };
    for (const Case& c : cases) {
        PcmLayout layout;
        layout.tag = c.tag;
        layout.bits = c.bits;
        layout.channels = 1;
        int16_t out = 7;
        const size_t n = CaptureToInt16(c.raw.data(), c.raw.size(), layout, &out, c.gain);
        EXPECT_EQ(n, layout.IsSupported() ? 1u : 0u) << c.tag << "/" << c.bits;
        EXPECT_EQ(out, c.out) << c.tag << "/" << c.bits << " first byte " << int(c.raw[0]);
    }
}
