#include "tests/core/Mp3TestUtil.h"

#include "media/CMp3File.h"
#include "media/Mp3Header.h"
#include "platform/Platform.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace mp3test {

namespace {
bool RunShell(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return false; // the media tools live on the Linux side
#else
    return std::system(command.c_str()) == 0;
#endif
}
} // namespace

std::vector<uint8_t> SilentFrame(const FrameShape& f) {
    const uint8_t header[4] = {
        0xFF, uint8_t(0xE0 | (f.versionBits << 3) | (f.layerField << 1) | f.protection),
        uint8_t((f.bitrateIndex << 4) | (f.frequencyIndex << 2) | (f.padding << 1)), uint8_t(f.mode << 6)};
    // The size as the parser gives it: the header table checks that against
    // sizes worked out by hand.
    Mp3FrameInfo info{};
    ParseMp3Header(header, &info);
    std::vector<uint8_t> frame(std::max<uint32_t>(info.nFrameSize, 4), 0);
    std::copy(header, header + 4, frame.begin());
    return frame;
}

std::vector<uint8_t> Frames(const FrameShape& f, int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i)
        Append(out, SilentFrame(f));
    return out;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes, size_t start) {
    std::vector<size_t> offsets;
    Mp3FrameInfo f;
    for (size_t pos = start; pos + 4 <= bytes.size() && ParseMp3Header(&bytes[pos], &f); pos += f.nFrameSize)
        offsets.push_back(pos);
    return offsets;
}

std::vector<int16_t> TestSignal(uint32_t rate, uint32_t seconds, uint32_t channels) {
    const uint32_t n = rate * seconds;
    std::vector<int16_t> out(size_t(n) * channels);
    uint32_t noise = 12345;
    const double pi = 3.14159265358979323846;
    for (uint32_t i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double top = rate * 0.45;
        const double sweep = std::sin(2 * pi * (200.0 * t + (top - 200.0) * t * t / (2.0 * seconds)));
        noise = noise * 1664525u + 1013904223u;
        const double hiss = (double(noise >> 8) / 16777216.0 - 0.5) * 0.1;
        // A click every half second makes the encoder switch to short blocks.
        const double click = (i % (rate / 2)) < rate / 400 ? ((i & 8) ? 0.6 : -0.6) : 0.0;
        const double left = 0.35 * sweep + 0.2 * std::sin(2 * pi * 440.0 * t) + hiss + click;
        const double right = 0.3 * std::sin(2 * pi * 1000.0 * t) + 0.25 * sweep + hiss * 0.5 + click;
        out[size_t(i) * channels] = int16_t(std::lround(std::clamp(left, -1.0, 1.0) * 32000));
        if (channels == 2)
            out[size_t(i) * 2 + 1] = int16_t(std::lround(std::clamp(right, -1.0, 1.0) * 32000));
    }
    return out;
}

bool HaveTool(const char* name) {
    return RunShell("command -v " + std::string(name) + " >/dev/null 2>&1");
}

std::string EncodeSignal(const std::string& dir, const std::string& name, uint32_t rate, uint32_t seconds,
                         const std::string& args, std::vector<int16_t> signal) {
    const std::string wav = plat::JoinPath(dir, name + ".wav");
    const std::string mp3 = plat::JoinPath(dir, name + ".mp3");
    if (signal.empty()) signal = TestSignal(rate, seconds, 2);
    EXPECT_TRUE(enginetest::WriteWav16(wav, 2, int(rate), signal));
    EXPECT_TRUE(RunShell("lame --quiet " + args + " '" + wav + "' '" + mp3 + "' >/dev/null 2>&1")) << args;
    return mp3;
}

bool ReferenceDecode(const std::string& mp3, std::vector<float>* out) {
    const std::string f32 = mp3 + ".f32";
    if (!RunShell("mpg123 -q --no-gapless --no-infoframe --stereo -e f32 -s '" + mp3 + "' > '" + f32 +
                  "' 2>/dev/null"))
        return false;
    std::vector<uint8_t> bytes = testutil::ReadAll(f32);
    out->resize(bytes.size() / 4);
    std::memcpy(out->data(), bytes.data(), out->size() * 4);
    return true;
}

void ReadInto(CMp3File& file, std::vector<int16_t>& out, uint32_t chunk, int calls) {
    std::vector<uint8_t> buffer(chunk);
    for (int idle = 0; idle < 3 && calls-- > 0 && !file.IsEnd();) {
        const uint32_t n = file.ReadData(buffer.data(), chunk);
        const size_t at = out.size();
        out.resize(at + n / 2);
        std::memcpy(out.data() + at, buffer.data(), n);
        idle = n ? 0 : idle + 1;
    }
}

Decoded DecodeFile(const std::string& path, uint32_t chunk) {
    Decoded d;
    CMp3File file;
    if (!file.Open(plat::Utf8ToWide(path).c_str())) return d;
    d.opened = true;
    d.rate = file.GetFormat()->nSamplesPerSec;
    d.channels = file.GetFormat()->nChannels;
    d.samplesPerFrame = file.GetSamplesPerFrame();
    d.totalSamples = file.GetTotalSamples();
    d.tagFrame = file.HasTagFrame() != 0;
    ReadInto(file, d.pcm, chunk);
    return d;
}

void ExpectLimitedAccuracy(const std::vector<int16_t>& ours, uint32_t channels, const std::vector<float>& ref,
                           size_t skip) {
    const size_t frames = std::min(ref.size() / 2 - std::min(skip, ref.size() / 2), ours.size() / channels);
    ASSERT_GT(frames, 0u);
    double sum = 0, max = 0;
    for (size_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < channels; ++c) {
            const double r = std::clamp(double(ref[(i + skip) * 2 + c]) * 32768.0, -32768.0, 32767.0);
            const double d = double(ours[i * channels + c]) - r;
            sum += d * d;
            max = std::max(max, std::fabs(d));
        }
    }
    EXPECT_LT(std::sqrt(sum / double(frames * channels)), 32768.0 / 2048.0 / 3.4641016151377544); // in LSB
    EXPECT_LT(max, 4.0);
}

} // namespace mp3test
