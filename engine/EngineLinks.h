// What the engine needs from the program's settings and its effect chain. The
// engine is handed both (CAudioControl::SetSettings / SetEffectChain); it never
// looks up a process-wide object itself.
//
// Threads: the device names are read on the user-interface thread only; the
// integer settings are plain values that the sound, play and record threads
// read without a lock (a change takes effect on their next block or pass). The
// pointers themselves are set only while no capture or playback runs.
#pragma once

#include <cstdint>
#include <string>

class CAppParameter;
class CEffectManager;

class EngineLinks {
  public:
    struct DeviceSelection {
        std::wstring captureName, captureId;
        std::wstring monitorName, monitorId;
        int loopback = 0;
    };

    // Not owned; null settings mean the settings' start-up values, a null
    // chain means there is no effect manager.
    void SetSettings(const CAppParameter* settings) { m_pSettings = settings; }
    void SetEffectChain(CEffectManager* chain) { m_pChain = chain; }

    // driver_type limited to 0..2.
    int DriverType() const;
    DeviceSelection Devices() const;
    int BoostOn() const;
    int BoostLevel() const;
    int RecFileChannel() const;
    int PlayFileMode() const;
    // Runs `count` interleaved samples of a stream of `channels` channels at
    // `rate` Hz through the effect chain in place. False when there is no
    // chain (the caller then silences the block).
    bool RunEffectChain(int16_t* samples, int32_t count, int channels, int rate) const;

  private:
    const CAppParameter& Settings() const;

    const CAppParameter* m_pSettings = nullptr;
    CEffectManager* m_pChain = nullptr;
};
