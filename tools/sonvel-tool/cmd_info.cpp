// sonvel-tool info FILE: what the media classes know of a file.
#include "tools/sonvel-tool/Tool.h"

#include "media/MediaOpen.h"

#include <cinttypes>

namespace {
int Info(const std::vector<std::string>& args) {
    if (args.size() != 1) return ToolFail("usage: info FILE");
    std::wstring name = ToolWidePath(args[0]);
    MediaKind kind = MEDIA_RAW;
    std::unique_ptr<CMediaFile> file = OpenMediaFile(name.c_str(), &kind);
    MediaInfo info;
    if (file) {
        info = GetMediaInfo(*file, kind);
    } else {
        CMediaFile raw;
        if (!raw.OpenRaw(name.c_str())) return ToolFail("cannot open %s", args[0].c_str());
    }
    static const char* const kinds[] = {"raw", "wav", "mp3"};
    std::printf("kind: %s\n", kinds[info.kind]);
    std::printf("tag: %u\n", info.tag);
    std::printf("channels: %u\n", info.channels);
    std::printf("rate: %u\n", info.rate);
    std::printf("bits: %u\n", info.bits);
    std::printf("frames: %" PRIu64 "\n", info.frames);
    std::printf("seconds: %.3f\n", info.rate ? static_cast<double>(info.frames) / info.rate : 0.0);
    return 0;
}
ToolRegistrar reg("info", "info FILE", Info);
} // namespace
