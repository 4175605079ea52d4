// The audio format record media files and drivers both describe sound with. On
// Windows it is the platform's own WAVEFORMATEX; elsewhere an identical layout.
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
