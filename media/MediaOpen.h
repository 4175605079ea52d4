// Opening a play file the way the engine does: the contents decide, not the
// extension. WAV is tried first, then MP3.
#pragma once

#include "media/CMediaFile.h"

#include <memory>

enum MediaKind { MEDIA_RAW = 0, MEDIA_WAV = 1, MEDIA_MP3 = 2 };

struct MediaInfo {
    MediaKind kind = MEDIA_RAW;
    uint32_t tag = 0; // format tag: 1 PCM, 3 IEEE float (MP3: 0x55)
    uint32_t channels = 0;
    uint32_t rate = 0;
    uint32_t bits = 0;
    uint64_t frames = 0; // total sample frames
};

// The opened file, or null when it is neither a WAV nor an MP3 file (or cannot
// be opened). `kind` receives what it was.
std::unique_ptr<CMediaFile> OpenMediaFile(const wchar_t* name, MediaKind* kind);
// What an open file of that kind holds.
MediaInfo GetMediaInfo(CMediaFile& file, MediaKind kind);
