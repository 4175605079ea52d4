// The engine's links to two process-wide objects: the settings singleton
// (CAppParameter) and the effect manager. Kept in one place so the engine's
// threads read them the same way everywhere.
//
// Threads: the device names are read on the user-interface thread only; the
// integer settings are plain values that the sound, play and record threads
// read without a lock (a change takes effect on their next block or pass).
#pragma once

#include <cstdint>
#include <string>

namespace enginelinks {

struct DeviceSelection {
    std::wstring captureName, captureId;
    std::wstring monitorName, monitorId;
    int loopback = 0;
};

// driver_type limited to 0..2.
int DriverType();
DeviceSelection Devices();
int BoostOn();
int BoostLevel();
int RecFileChannel();
int PlayFileMode();
// Runs `count` interleaved samples of a stream of `channels` channels at
// `rate` Hz through the effect chain in place. False when there is no effect
// manager (the caller then silences the block).
bool RunEffectChain(int16_t* samples, int32_t count, int channels, int rate);

} // namespace enginelinks
