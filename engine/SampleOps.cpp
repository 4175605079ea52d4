#include "engine/SampleOps.h"

#include <cmath>
#include <cstring>

namespace sampleops {

void ApplyGain(int16_t* samples, size_t count, int gain) {
    if (gain == 8) return;
    for (size_t i = 0; i < count; ++i)
        samples[i] = Saturate16((static_cast<int64_t>(samples[i]) * gain) >> 3);
}

void ApplyChannelMode(int16_t* stereo, size_t frames, int channelMode) {
    if (channelMode == 3) {
        for (size_t i = 0; i < frames; ++i)
            stereo[2 * i + 1] = 0;
    } else if (channelMode == 4) {
        for (size_t i = 0; i < frames; ++i)
            stereo[2 * i] = 0;
    }
}

void MonoToStereo(const int16_t* mono, int16_t* stereo, size_t frames) {
    for (size_t i = 0; i < frames; ++i)
        stereo[2 * i] = stereo[2 * i + 1] = mono[i];
}

void VoiceCancel(int16_t* stereo, size_t frames) {
    for (size_t i = 0; i < frames; ++i) {
        int32_t l = stereo[2 * i], r = stereo[2 * i + 1];
        stereo[2 * i] = Saturate16(l - r);
        stereo[2 * i + 1] = Saturate16(r - l);
    }
}

void Mix(const int16_t* in, const int16_t* play, int16_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = Saturate16(static_cast<int64_t>((static_cast<int32_t>(in[i]) + play[i]) * MIX_FACTOR));
}

void ShapeForRecording(const int16_t* stereo, int16_t* out, size_t frames, int playFileMode) {
    switch (playFileMode) {
    case 0:
        std::memset(out, 0, frames * 4);
        break;
    case 2:
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i] = Downmix(stereo[2 * i], stereo[2 * i + 1]);
            out[2 * i + 1] = 0;
        }
        break;
    case 3:
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i + 1] = Downmix(stereo[2 * i], stereo[2 * i + 1]);
            out[2 * i] = 0;
        }
        break;
    default:
        if (out != stereo) std::memcpy(out, stereo, frames * 4);
        break;
    }
}

void DownmixToMono(const int16_t* stereo, int16_t* mono, size_t frames) {
    for (size_t i = 0; i < frames; ++i)
        mono[i] = Downmix(stereo[2 * i], stereo[2 * i + 1]);
}

int16_t Peak(const int16_t* samples, size_t count) {
    int16_t peak = 0;
    for (size_t i = 0; i < count; ++i) {
        int32_t v = samples[i] < 0 ? -static_cast<int32_t>(samples[i]) : samples[i];
        if (v <= 32767 && v > peak) peak = static_cast<int16_t>(v);
    }
    return peak;
}

bool PcmLayout::IsSupported() const {
    if (channels < 1) return false;
    if (tag == 3) return bits == 32 || bits == 64;
    return tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

namespace {

int16_t FloatSample(double x) {
    if (!(x > -2.0)) x = -2.0; // also NaN
    if (x > 2.0) x = 2.0;
    return Saturate16(static_cast<int64_t>(x * 32768.0));
}

// One sample of the layout at p, as a 16-bit value.
int16_t ReadSample(const uint8_t* p, const PcmLayout& layout) {
    if (layout.tag == 3) {
        if (layout.bits == 64) {
            double d;
            std::memcpy(&d, p, 8);
            return FloatSample(d);
        }
        float f;
        std::memcpy(&f, p, 4);
        return FloatSample(f);
    }
    switch (layout.bits) {
    case 8:
        return static_cast<int16_t>((static_cast<int32_t>(p[0]) - 128) * 256);
    case 24:
    case 32: {
        const uint8_t* top = p + (layout.bits / 8 - 2); // little-endian: the last two bytes
        return static_cast<int16_t>(static_cast<uint16_t>(top[0] | (top[1] << 8)));
    }
    default:
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    }
}

} // namespace

size_t ConvertToStereo16(const uint8_t* raw, size_t bytes, const PcmLayout& layout, int16_t* out) {
    if (!layout.IsSupported()) return 0;
    const size_t frameBytes = static_cast<size_t>(layout.BytesPerFrame());
    const size_t frames = bytes / frameBytes;
    if (layout.IsStereo16()) {
        std::memcpy(out, raw, frames * 4);
        return frames;
    }
    const size_t sampleBytes = static_cast<size_t>((layout.bits + 7) / 8);
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t* f = raw + i * frameBytes;
        int16_t l = ReadSample(f, layout);
        int16_t r = layout.channels == 1 ? l : ReadSample(f + sampleBytes, layout);
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
    return frames;
}

namespace {

// v / 2^shift rounded half away from zero, limited to 16 bits.
int16_t RoundShift(int64_t v, int shift) {
    const int64_t half = int64_t{1} << (shift - 1);
    const int64_t q = v < 0 ? -((-v + half) >> shift) : ((v + half) >> shift);
    return Saturate16(q);
}

int16_t CaptureSample(const uint8_t* p, const PcmLayout& layout) {
    if (layout.tag == 3) {
        double x;
        if (layout.bits == 64) {
            std::memcpy(&x, p, 8);
        } else {
            float f;
            std::memcpy(&f, p, 4);
            x = f;
        }
        if (!(x > -2.0)) x = -2.0; // also NaN
        if (x > 2.0) x = 2.0;
        return Saturate16(std::llround(x * 32768.0));
    }
    switch (layout.bits) {
    case 8:
        return static_cast<int16_t>((static_cast<int32_t>(p[0]) - 128) * 256);
    case 24: {
        int32_t v =
            static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                 static_cast<uint32_t>(p[2]) << 24) >>
            8;
        return RoundShift(v, 8);
    }
    case 32: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return RoundShift(v, 16);
    }
    default:
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    }
}

} // namespace

size_t CaptureToInt16(const uint8_t* raw, size_t bytes, const PcmLayout& layout, int16_t* out, int gain) {
    if (!layout.IsSupported()) return 0;
    const size_t sampleBytes = static_cast<size_t>((layout.bits + 7) / 8);
    const size_t count = bytes / sampleBytes;
    for (size_t i = 0; i < count; ++i)
        out[i] = CaptureSample(raw + i * sampleBytes, layout);
    ApplyGain(out, count, gain);
    return count;
}

} // namespace sampleops
