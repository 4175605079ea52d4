// Signals the test capture driver delivers: a tone, a buffer of frames (a WAV
// file read by the caller), or a counter that lets a test account for every frame.
#pragma once

#include <cstdint>
#include <vector>

class CTestSignal {
  public:
    virtual ~CTestSignal() = default;
    // Writes up to `frames` interleaved 16-bit frames of `channels` channels;
    // returns the frames written, 0 at the end of the signal.
    virtual uint32_t Read(int16_t* out, uint32_t frames, int channels) = 0;
};

// A sine of `hz` at `amplitude` (0..32767), in every channel, without end.
class CToneSignal : public CTestSignal {
  public:
    CToneSignal(double hz, int rate, double amplitude) : m_Hz(hz), m_Rate(rate), m_Amplitude(amplitude) {}
    uint32_t Read(int16_t* out, uint32_t frames, int channels) override;

  private:
    double m_Hz;
    int m_Rate;
    double m_Amplitude;
    uint64_t m_Position = 0;
};

// Frames held in memory with their own channel count. Mono feeds every output
// channel; more channels than asked are dropped from the right.
class CBufferSignal : public CTestSignal {
  public:
    CBufferSignal(std::vector<int16_t> samples, int channels)
        : m_Samples(std::move(samples)), m_Channels(channels) {}
    uint32_t Read(int16_t* out, uint32_t frames, int channels) override;
    uint64_t GetFrameCount() const { return m_Channels ? m_Samples.size() / m_Channels : 0; }

  private:
    std::vector<int16_t> m_Samples;
    int m_Channels;
    uint64_t m_Frame = 0;
};

// Frame n carries the low 15 bits of n in every channel (n & 0x7FFF), so a
// recording can be checked for lost or repeated frames. Ends after `total` frames.
class CCountingSignal : public CTestSignal {
  public:
    explicit CCountingSignal(uint64_t total) : m_Total(total) {}
    uint32_t Read(int16_t* out, uint32_t frames, int channels) override;

  private:
    uint64_t m_Total;
    uint64_t m_Frame = 0;
};
