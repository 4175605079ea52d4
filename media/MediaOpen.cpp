#include "media/MediaOpen.h"

std::unique_ptr<CMediaFile> OpenMediaFile(const wchar_t* name, MediaKind* kind) {
    (void)name;
    if (kind) *kind = MEDIA_RAW;
    // The WAV and MP3 readers are tried here as they arrive.
    return nullptr;
}

MediaInfo GetMediaInfo(CMediaFile& file, MediaKind kind) {
    MediaInfo info;
    info.kind = kind;
    if (const MediaFormat* f = file.GetFormat()) {
        info.channels = f->nChannels;
        info.rate = f->nSamplesPerSec;
        info.bits = f->nBitsPerSample;
    }
    return info;
}
