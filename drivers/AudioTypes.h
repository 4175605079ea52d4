// The device description and the listener, with the audio format record
// (platform/AudioFormat.h): what the engine and every driver share.
#pragma once

#include "platform/AudioFormat.h"

#include <cstdint>

// Driver state.
enum : int32_t { DRIVER_CLOSED = 0, DRIVER_OPEN = 1, DRIVER_RUNNING = 2 };

// Device index values: -1 the system default, 0..n-1 a position in the driver's
// list, LOOPBACK_INDEX_BASE + n loopback of render endpoint n (WASAPI capture only).
constexpr int32_t DEFAULT_DEVICE_INDEX = -1;
constexpr int32_t LOOPBACK_INDEX_BASE = 1000;

struct AudioDeviceInfo {
    uint16_t wMid;
    uint16_t wPid;
    uint32_t vDriverVersion;
    wchar_t szName[256];
    uint32_t dwFormats;
    uint16_t wChannels;
    wchar_t szEndpointId[256];
    int32_t bLoopback;
};

// Receives audio from the drivers. Called on the driver's own worker thread,
// never on the thread that opened or started the driver; must not block long.
class CSoundListener {
  public:
    virtual ~CSoundListener() = default;
    // A captured block of interleaved frames in the capture driver's format,
    // valid only during the call. A result of exactly 1 asks an MME capture
    // driver to stop and close itself.
    virtual int32_t OnSoundIn(const void* data, uint32_t bytes) {
        (void)data;
        (void)bytes;
        return 0;
    }
    // Fill at most `bytes` bytes of frames in the render driver's format and
    // return how many were written. The buffer may hold old data: clear what
    // you leave.
    virtual uint32_t OnSoundOut(void* buffer, uint32_t bytes) {
        (void)buffer;
        return bytes;
    }
    // An MME render block whose fill returned 0 has come back (the platform header).
    virtual void OnSoundEnd(void* header) { (void)header; }
};
