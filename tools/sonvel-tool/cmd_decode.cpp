// sonvel-tool decode FILE: the sample bytes the engine would be handed for a
// play file, from the start of its audio to the end, on standard output.
#include "tools/sonvel-tool/Tool.h"

#include "media/MediaOpen.h"

#include <vector>

namespace {
// The engine's play-thread request size, so the file is read the way it plays.
constexpr uint32_t kChunkBytes = 224000;

int Decode(const std::vector<std::string>& args) {
    if (args.size() != 1) return ToolFail("usage: decode FILE");
    std::wstring name = ToolWidePath(args[0]);
    MediaKind kind = MEDIA_RAW;
    std::unique_ptr<CMediaFile> file = OpenMediaFile(name.c_str(), &kind);
    if (!file) return ToolFail("cannot open %s as a play file", args[0].c_str());

    ToolSetBinaryStdout();
    std::vector<uint8_t> buffer(kChunkBytes);
    file->Rewind();
    for (;;) {
        const uint64_t before = file->GetPosition();
        const uint32_t n = file->ReadData(buffer.data(), kChunkBytes);
        if (n > 0) {
            if (std::fwrite(buffer.data(), 1, n, stdout) != n)
                return ToolFail("write to standard output failed");
            continue;
        }
        // Nothing this time: finished at the end, or a reader that no longer
        // moves (a damaged file) must not keep us spinning.
        if (file->IsEnd() || file->GetPosition() == before) break;
    }
    if (std::fflush(stdout) != 0) return ToolFail("write to standard output failed");
    return 0;
}
ToolRegistrar reg("decode", "decode FILE", Decode);
} // namespace
