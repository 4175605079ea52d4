// The WAV open and read path on arbitrary bytes: no crash, no read past the
// file, no hang, and every length the reader reports stays within the file.
#include "media/CWaveFile.h"
#include "media/MediaOpen.h"

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
void Check(bool ok) {
    if (!ok) std::abort();
}

const std::string& ScratchPath() {
    static const std::string path =
        plat::JoinPath(plat::TempDirectory(), "sonvel-fuzz-wav-" + std::to_string(getpid()) + ".wav");
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = ScratchPath();
    plat::FileHandle h = plat::FileCreate(path.c_str(), true);
    if (!h) return 0;
    const bool written = plat::FileWrite(h, data, static_cast<uint32_t>(size)) == static_cast<int64_t>(size);
    plat::FileClose(h);
    if (!written) return 0;
    const std::wstring name = plat::Utf8ToWide(path);

    CWaveFile f;
    f.SetBlock(0, 20);
    if (f.Open(name.c_str())) {
        const uint32_t align = f.GetBlockAlign();
        Check(align != 0 && f.GetFormat()->nChannels != 0 && f.GetFormat()->nSamplesPerSec != 0);
        Check(f.GetDataOffset() <= size);
        Check(static_cast<uint64_t>(f.GetFrames()) * align <= size - f.GetDataOffset());

        // Everything in uneven pieces: exactly the frames reported, then the end.
        std::vector<uint8_t> buffer(4099);
        uint64_t total = 0;
        for (uint32_t piece = 1, n; (n = f.ReadData(buffer.data(), piece)) > 0;
             piece = piece * 2 % 4099 + 1) {
            Check(n <= piece);
            total += n;
        }
        Check(total == static_cast<uint64_t>(f.GetFrames()) * align);
        Check(f.IsEnd() == 1);

        f.SeekTime(1);
        (void)f.GetTime();
        (void)f.ReadData(buffer.data(), 4099);
        f.Rewind();
        Check(f.GetTime() == 0);
        uint32_t blocks = 0;
        while (f.ReadNextBlock(buffer.data(), static_cast<uint32_t>(buffer.size())) > 0)
            ++blocks;
        Check(blocks <= f.GetBlockCount());
        f.Close();
    }

    MediaKind kind = MEDIA_RAW;
    if (auto opened = OpenMediaFile(name.c_str(), &kind)) (void)GetMediaInfo(*opened, kind);
    return 0;
}
