// DELAY ECHO: the dry sample plus R echoes, each D samples after the previous
// one and g times weaker.
#pragma once

#include "effects/CBaseEffect.h"

class CDelayEcho : public CBaseEffect {
  public:
    static constexpr uint32_t LENGTH = 262144;
    static constexpr uint32_t MASK = LENGTH - 1;

    CDelayEcho();
    // P1: delay in 20 ms steps; P2: repeats; P3: decay in percent.
    void SetParams(const int32_t* values, int32_t sampleRate) override;
    void Process(double* samples, int32_t count) override;
    void SetEnable(int32_t on) override;

  private:
    void Clear();
    void ComputePowers();

    double m_Line[LENGTH];
    int32_t m_Delay = 4800;
    int32_t m_Repeat = 6;
    double m_Decay = 0.5;
    uint32_t m_Write = 0;
    int32_t m_Rate = 48000;
    // g^j for j = 0..R, worked out when g or R change rather than per sample and
    // echo; R can reach 262143 (D = 1), hence the full length.
    double m_Power[LENGTH];
};
