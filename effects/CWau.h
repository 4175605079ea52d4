// WAU: a band-pass whose centre a sine LFO sweeps between 200 and 1800 Hz.
#pragma once

#include "effects/CBaseEffect.h"
#include "effects/EffectMath.h"

class CWau : public CBaseEffect {
  public:
    CWau();
    // Takes no values; the sample rate sets the sweep's time base and the
    // centre's scale, so the wah sounds the same at every rate.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

    const fx::AllpassSection& GetSection() const { return m_Section; }
    int32_t GetRate() const { return m_Rate; }

  private:
    void Restart();

    fx::AllpassSection m_Section;
    double m_Centre = 1000.0 / 48000.0; // current centre, a fraction of the rate
    double m_Depth = 800.0;             // Hz
    double m_LfoRate = 1.0;             // Hz
    int32_t m_Rate = 48000;
    int32_t m_Counter = 0;
};
