// Sample arithmetic of the engine. Every result is limited to the 16-bit range
// (-32768..32767): a loud passage clips instead of wrapping around into a
// full-scale click.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sampleops {

// 1/sqrt(2): the mix and the down-mix keep two full-scale signals near full scale.
constexpr double MIX_FACTOR = 0.7071067811865476;

inline int16_t Saturate16(int64_t v) {
    return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
}

// (s x gain) >> 3 in place; gain in eighths (8 = unity).
void ApplyGain(int16_t* samples, size_t count, int gain);
// Channel mode 3 keeps only the left channel of each stereo frame, 4 only the right.
void ApplyChannelMode(int16_t* stereo, size_t frames, int channelMode);
// Each sample written twice (left and right).
void MonoToStereo(const int16_t* mono, int16_t* stereo, size_t frames);
// Voice cancel: (L, R) becomes (L - R, R - L).
void VoiceCancel(int16_t* stereo, size_t frames);
// out = (in + play) x MIX_FACTOR truncated toward zero. `out` may be `in`.
void Mix(const int16_t* in, const int16_t* play, int16_t* out, size_t count);
// m = (L + R) x MIX_FACTOR truncated toward zero.
inline int16_t Downmix(int16_t l, int16_t r) {
    return Saturate16(static_cast<int64_t>((static_cast<int32_t>(l) + r) * MIX_FACTOR));
}
// The record ring's view of a playback chunk by play_file_mode: 0 (0, 0),
// 2 (m, 0), 3 (0, m), anything else (L, R).
void ShapeForRecording(const int16_t* stereo, int16_t* out, size_t frames, int playFileMode);
// One down-mixed value per frame (a mono recording).
void DownmixToMono(const int16_t* stereo, int16_t* mono, size_t frames);
// Largest |s|, worked in 16 bits: a sample of -32768 never raises it.
int16_t Peak(const int16_t* samples, size_t count);

// The sample layout of a play file's bytes.
struct PcmLayout {
    int tag = 1;      // 1 integer PCM, 3 IEEE float
    int bits = 16;    // 8, 16, 24, 32 (64 with tag 3)
    int channels = 2; // 1 or more; channels past the second are ignored
    int BytesPerFrame() const { return channels * ((bits + 7) / 8); }
    bool IsStereo16() const { return tag == 1 && bits == 16 && channels == 2; }
    bool IsSupported() const;
};
// Whole frames of `layout` in `raw` become 16-bit stereo frames: 8-bit u as
// (u - 128) << 8, 24/32-bit integers keep their top 16 bits, float x as x x 32768
// truncated and clamped, mono goes to both channels. Returns the frames written.
size_t ConvertToStereo16(const uint8_t* raw, size_t bytes, const PcmLayout& layout, int16_t* out);
// Capture data of `layout` becomes 16-bit samples, channel count kept: 8-bit u as
// (u - 128) << 8, wider integers and float (x x 32768) rounded half away from zero
// and saturated, then (s x gain) >> 3. Returns the samples written (0 when the
// layout is not supported).
size_t CaptureToInt16(const uint8_t* raw, size_t bytes, const PcmLayout& layout, int16_t* out, int gain);

} // namespace sampleops
