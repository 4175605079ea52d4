// The audio format record, the device description and the listener: what the
// engine and every driver share. On Windows the format record is the platform's
// own WAVEFORMATEX; elsewhere an identical layout.
#pragma once

#include <cstdint>

#ifdef _WIN32
// The platform's own record, without the whole of <windows.h>.
#include <windef.h>
#include <wingdi.h>
#include <mmreg.h>
#else
#pragma pack(push, 1)
struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
#ifndef WAVE_FORMAT_PCM
#define WAVE_FORMAT_PCM 1
#endif
#ifndef WAVE_FORMAT_IEEE_FLOAT
#define WAVE_FORMAT_IEEE_FLOAT 3
#endif
#endif
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must keep the platform's layout");

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

// Fills a PCM format record the way a driver builds it from an Open request.
inline void MakePcmFormat(WAVEFORMATEX& f, int channels, int rate, int bits) {
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<uint16_t>(channels);
    f.nSamplesPerSec = static_cast<uint32_t>(rate);
    f.wBitsPerSample = static_cast<uint16_t>(bits);
    f.nBlockAlign = static_cast<uint16_t>((bits * channels + 7) / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = 0;
}

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
