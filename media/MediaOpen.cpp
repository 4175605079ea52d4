#include "media/MediaOpen.h"

#include "media/CMp3File.h"
#include "media/CWaveFile.h"

std::unique_ptr<CMediaFile> OpenMediaFile(const wchar_t* name, MediaKind* kind) {
    if (kind) *kind = MEDIA_RAW;
    if (!name || !*name) return nullptr;

    // WAV first: a RIFF/WAVE file is recognised by its header.
    {
        auto wave = std::make_unique<CWaveFile>();
        if (wave->Open(name)) {
            if (kind) *kind = MEDIA_WAV;
            return wave;
        }
    }

    // Then MPEG audio: found by its frames, wherever they start.
    {
        auto mp3 = std::make_unique<CMp3File>();
        if (mp3->Open(name)) {
            if (kind) *kind = MEDIA_MP3;
            return mp3;
        }
    }

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

    if (kind == MEDIA_WAV && file.IsWaveFile()) {
        auto& wave = static_cast<CWaveFile&>(file);
        info.tag = wave.GetFormatTag();
        info.frames = wave.GetFrames();
    } else if (kind == MEDIA_MP3) {
        auto& mp3 = static_cast<CMp3File&>(file);
        info.tag = 0x55;
        info.frames = mp3.GetTotalSamples();
    }

    return info;
}
