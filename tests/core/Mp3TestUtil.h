// Helpers for the MP3 tests: hand-built frames, test signals, the external
// encoder and reference decoder, and decoding a file through CMp3File.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CMp3File;

namespace mp3test {

// A Layer III frame whose side information and main data are all zero
// (it decodes to silence). versionBits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5.
struct FrameShape {
    uint32_t versionBits = 3;
    uint32_t bitrateIndex = 9;   // 128 kbit/s for MPEG-1
    uint32_t frequencyIndex = 0; // 44.1 kHz for MPEG-1
    uint32_t padding = 0;
    uint32_t mode = 1;       // joint stereo
    uint32_t protection = 1; // 1: no CRC
    uint32_t layerField = 1; // 1: Layer III
};
constexpr FrameShape kMono{.mode = 3};
constexpr FrameShape kCrc{.protection = 0};
constexpr FrameShape kLsf{.versionBits = 2, .bitrateIndex = 8}; // 64 kbit/s at 22.05 kHz: 208 bytes
std::vector<uint8_t> SilentFrame(const FrameShape& f);
std::vector<uint8_t> Frames(const FrameShape& f, int count);
void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes);
// Offsets of the frames from `start` on, walked by their headers.
std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes, size_t start = 0);

// A deterministic stereo test signal: tones, a sweep and clicks (for short
// blocks), different in each channel.
std::vector<int16_t> TestSignal(uint32_t rate, uint32_t seconds, uint32_t channels);

bool HaveTool(const char* name);
// Writes `signal` (stereo; the test signal when empty) as dir/name.wav and
// encodes it with lame `args` to dir/name.mp3, whose path it returns.
std::string EncodeSignal(const std::string& dir, const std::string& name, uint32_t rate, uint32_t seconds,
                         const std::string& args, std::vector<int16_t> signal = {});
// The reference decoder's output: stereo 32-bit float, every frame.
bool ReferenceDecode(const std::string& mp3, std::vector<float>* out);

// Appends what CMp3File::ReadData hands out, `chunk` bytes a call, until the
// end, `calls` calls, or three empty answers.
void ReadInto(CMp3File& file, std::vector<int16_t>& out, uint32_t chunk, int calls = 1 << 30);

// Everything CMp3File::ReadData hands out, asking `chunk` bytes at a time.
struct Decoded {
    bool opened = false;
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t samplesPerFrame = 0;
    uint32_t totalSamples = 0;
    bool tagFrame = false;
    std::vector<int16_t> pcm;
};
Decoded DecodeFile(const std::string& path, uint32_t chunk = 224000);

// Our samples against the reference (stereo float, `skip` sample frames
// dropped from its start), on `channels` channels; the reference is clipped
// to the 16-bit range first. Expects the error within the ISO/IEC 11172-4
// "limited accuracy" bound, 2^-11 / sqrt(12) of full scale, in RMS, and a
// couple of LSB (truncation plus float rounding) at most.
void ExpectLimitedAccuracy(const std::vector<int16_t>& ours, uint32_t channels, const std::vector<float>& ref,
                           size_t skip);

} // namespace mp3test
