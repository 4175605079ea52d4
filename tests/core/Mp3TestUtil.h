// Helpers for the MP3 tests: hand-built frames, test signals, the external
// encoder and reference decoder, and decoding a file through CMp3File.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mp3test {

// A Layer III frame whose side information and main data are all zero
// (it decodes to silence). versionBits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5.
struct FrameShape {
    uint32_t versionBits = 3;
    uint32_t bitrateIndex = 9;    // 128 kbit/s for MPEG-1
    uint32_t frequencyIndex = 0;  // 44.1 kHz for MPEG-1
    uint32_t padding = 0;
    uint32_t mode = 1;  // joint stereo
    uint32_t protection = 1;  // 1: no CRC
    uint32_t layerField = 1;  // 1: Layer III
};
uint32_t FrameBytes(const FrameShape& f);  // worked out from the standard's formula
std::vector<uint8_t> SilentFrame(const FrameShape& f);
void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes);

// A deterministic stereo test signal: tones, a sweep and clicks (for short
// blocks), different in each channel.
std::vector<int16_t> TestSignal(uint32_t rate, uint32_t seconds, uint32_t channels);
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate, uint32_t channels);

bool HaveTool(const char* name);
bool RunShell(const std::string& command);
// lame `args` in.wav out.mp3
bool Encode(const std::string& wav, const std::string& mp3, const std::string& args);
// The reference decoder's output: stereo 32-bit float, every frame.
bool ReferenceDecode(const std::string& mp3, std::vector<float>* out);

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
// to the 16-bit range first. Errors in LSB of 16 bits.
struct Error {
    double rms = 0;
    double max = 0;
    size_t frames = 0;
};
Error Compare(const std::vector<int16_t>& ours, uint32_t channels, const std::vector<float>& ref, size_t skip);

// The ISO/IEC 11172-4 "limited accuracy" bound, 2^-11 / sqrt(12) of full
// scale, in LSB of 16 bits.
constexpr double kLimitedAccuracyLsb = 32768.0 / 2048.0 / 3.4641016151377544;

}  // namespace mp3test
