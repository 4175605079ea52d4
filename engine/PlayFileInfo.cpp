#include "engine/PlayFileInfo.h"

#include "engine/RecorderHelpers.h"
#include "media/MediaOpen.h"

uint32_t ReadPlayFileInfo(const wchar_t* path, PlayFileInfo& info) {
    info = PlayFileInfo{};
    if (!path || !*path) return 0;
    MediaKind kind = MEDIA_RAW;
    std::unique_ptr<CMediaFile> file = OpenMediaFile(path, &kind);
    if (!file) return 0;
    MediaInfo media = GetMediaInfo(*file, kind);
    file->Close();
    info.rate = media.rate;
    info.channels = media.channels;
    info.bits = media.bits;
    info.frames = media.frames;
    info.rateText = recorder::FrequencyText(static_cast<int>(media.rate));
    info.channelText = recorder::ChannelText(static_cast<int>(media.channels));
    if (media.frames && media.rate) {
        uint64_t seconds = media.frames / media.rate;
        info.seconds = static_cast<uint32_t>(seconds > 0xFFFFFFFFull ? 0xFFFFFFFFull : seconds);
        info.durationText = recorder::TimeText(info.seconds);
    }
    return media.rate;
}
