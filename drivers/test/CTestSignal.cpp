#include "drivers/test/CTestSignal.h"

#include <cmath>

uint32_t CToneSignal::Read(int16_t* out, uint32_t frames, int channels) {
    const double step = 2.0 * 3.14159265358979323846 * m_Hz / m_Rate;
    for (uint32_t i = 0; i < frames; ++i, ++m_Position) {
        auto v =
            static_cast<int16_t>(std::lround(m_Amplitude * std::sin(step * static_cast<double>(m_Position))));
        for (int c = 0; c < channels; ++c)
            *out++ = v;
    }
    return frames;
}

uint32_t CBufferSignal::Read(int16_t* out, uint32_t frames, int channels) {
    uint64_t left = GetFrameCount() - m_Frame;
    uint32_t n = left < frames ? static_cast<uint32_t>(left) : frames;
    for (uint32_t i = 0; i < n; ++i, ++m_Frame) {
        const int16_t* in = &m_Samples[m_Frame * m_Channels];
        for (int c = 0; c < channels; ++c)
            *out++ = in[m_Channels == 1 ? 0 : (c < m_Channels ? c : m_Channels - 1)];
    }
    return n;
}

uint32_t CCountingSignal::Read(int16_t* out, uint32_t frames, int channels) {
    uint64_t left = m_Total - m_Frame;
    uint32_t n = left < frames ? static_cast<uint32_t>(left) : frames;
    for (uint32_t i = 0; i < n; ++i, ++m_Frame) {
        auto v = static_cast<int16_t>(m_Frame & 0x7FFF);
        for (int c = 0; c < channels; ++c)
            *out++ = v;
    }
    return n;
}
