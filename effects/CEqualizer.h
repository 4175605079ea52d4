// EQUALIZER: a parallel bank of band-passes, one per value, each weighted by its
// gain in dB. The octave bands run from 60 Hz to 7680 Hz; the first value drives
// a ninth band at 30 Hz (25 Hz wide) that continues the same pattern downward.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectMath.h"

class CEqualizer : public CBaseEffect {
  public:
    static constexpr int BANDS = 9;

    CEqualizer();
    // P1..P9: gains in dB for 30, 50 (60), 100 (120), ... 6.4k (7680) Hz.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

    double GetGain(int value) const { return m_Gain[value]; }
    const fx::AllpassSection& GetSection(int value) const { return m_Band[value]; }

  private:
    void Design();

    // m_Band[i] answers to value i: m_Band[0] is the 30 Hz band, m_Band[1..8]
    // the (50, 60) .. (6400, 7680) Hz bands.
    fx::AllpassSection m_Band[BANDS];
    double m_Gain[BANDS];
    int32_t m_Rate = 48000;
};
