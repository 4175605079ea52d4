// A listener for round trips through real devices: renders a sine into every
// channel and keeps the first channel of what is captured, with the size of
// every block in both directions.
#pragma once

#include "drivers/AudioTypes.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace wintest {

class ToneListener : public CSoundListener {
  public:
    ToneListener(double hz, double amplitude, int rate) : m_Hz(hz), m_Amplitude(amplitude), m_Rate(rate) {}
    void SetFormats(const WAVEFORMATEX& capture, const WAVEFORMATEX& render) {
        m_Capture = capture;
        m_Render = render;
    }

    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
        const int channels = m_Render.nChannels;
        const uint32_t frames = bytes / (2u * channels);
        auto* out = static_cast<int16_t*>(buffer);
        for (uint32_t i = 0; i < frames; ++i) {
            double v = m_Amplitude * std::sin(2 * 3.14159265358979323846 * m_Hz *
                                              static_cast<double>(m_OutPos + i) / m_Rate);
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = static_cast<int16_t>(std::lround(v));
        }
        m_OutPos += frames;
        std::lock_guard<std::mutex> lock(m_Lock);
        m_OutSizes.push_back(bytes);
        return frames * 2u * channels;
    }

    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_InSizes.push_back(bytes);
        const uint32_t frameBytes = m_Capture.nBlockAlign;
        for (uint32_t i = 0; frameBytes && i < bytes / frameBytes; ++i) {
            int16_t s;
            std::memcpy(&s, static_cast<const uint8_t*>(data) + static_cast<size_t>(i) * frameBytes, 2);
            m_In.push_back(s);
        }
        return 0;
    }

    std::vector<uint32_t> InSizes() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_InSizes;
    }
    std::vector<uint32_t> OutSizes() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_OutSizes;
    }
    std::vector<int16_t> In() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_In;
    }

  private:
    double m_Hz, m_Amplitude;
    int m_Rate;
    WAVEFORMATEX m_Capture{}, m_Render{};
    uint64_t m_OutPos = 0;
    std::mutex m_Lock;
    std::vector<uint32_t> m_InSizes, m_OutSizes;
    std::vector<int16_t> m_In;
};

} // namespace wintest
