// VIBRATO: only the delayed sample, its delay swung by a sine between 0 and 2D.
#pragma once

#include "effects/CBaseEffect.h"

class CVibrato : public CBaseEffect {
  public:
    static constexpr uint32_t LENGTH = 65536;
    static constexpr uint32_t MASK = LENGTH - 1;

    CVibrato();
    // P1: depth (0..100 gives 0..4 ms); P2: LFO rate (0..100 gives 0..10 Hz).
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Clear();

    double m_Line[LENGTH];
    int32_t m_Depth = 96;
    double m_LfoRate = 5.0;
    int32_t m_Counter = 0;
    uint32_t m_Write = 0;
    int32_t m_Rate = 48000;
};
