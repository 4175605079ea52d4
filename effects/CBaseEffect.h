// The interface every effect type implements. An effect transforms a block of
// double samples (full scale +-1.0) of ONE channel in place; the manager keeps
// one instance per channel, so an effect never sees interleaved audio.
//
// Threads: the manager calls every operation under its chain lock, so an
// effect's state is touched by one thread at a time and needs no lock of its own.
// Process never allocates: every history buffer is part of the object.
#pragma once

#include <cstdint>

class CBaseEffect {
  public:
    CBaseEffect() = default;
    virtual ~CBaseEffect() = default;
    CBaseEffect(const CBaseEffect&) = delete;
    CBaseEffect& operator=(const CBaseEffect&) = delete;

    // values: the type's values (up to ten are read); sampleRate in Hz.
    virtual void SetParams(const int32_t* values, int32_t sampleRate);
    virtual void Process(double* samples, int32_t count);
    // Processes a stereo pair: this instance on `left`, `right` (an instance of
    // the same type with the same values, switch and rate) on `rightSamples`.
    // The result is exactly that of two Process calls; types whose modulation
    // does not depend on the signal work it out once for both channels.
    virtual void ProcessPair(CBaseEffect& right, double* left, double* rightSamples, int32_t count);
    // Types with history clear it on a switch from off to on (and only then).
    virtual void SetEnable(int32_t on);

    int32_t IsEnabled() const { return m_bEnable; }

  protected:
    int32_t m_bEnable = 1;
};
