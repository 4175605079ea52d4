// CMp3File's open, scan, read, seek and time on arbitrary file contents: no
// crash, no out-of-bounds access, no hang, and answers that stay consistent.
#include "media/CMp3File.h"
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
        plat::JoinPath(plat::TempDirectory(), "sonvel-fuzz-mp3-" + std::to_string(getpid()) + ".mp3");
    return path;
}

// Larger inputs add no new parsing paths, only more frames of the same kind,
// and decoding dominates the time of each input: both are kept small so the
// fuzzer tries many inputs rather than a few long ones.
constexpr size_t kMaxInput = 16384;
constexpr uint64_t kMaxFramesDecoded = 24;

// Reads in uneven pieces (each with room for a sample frame) until the end or
// until `budget` bytes came out; every call is bounded, and a call that gives
// nothing must be the last. True when it stopped at the end.
bool ReadToEnd(CMp3File& f, std::vector<uint8_t>& buffer, uint64_t budget) {
    uint64_t total = 0;
    uint32_t piece = 4;
    for (int calls = 0; calls < 100000 && !f.IsEnd(); ++calls) {
        if (total >= budget) return false;
        const uint32_t n = f.ReadData(buffer.data(), piece);
        Check(n <= piece);
        Check(n % 2 == 0);
        total += n;
        Check(n > 0 || f.IsEnd());
        piece = piece * 3 % 8997 + 4;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    const std::string& path = ScratchPath();
    plat::FileHandle h = plat::FileCreate(path.c_str(), true);
    if (!h) return 0;
    const bool written = plat::FileWrite(h, data, static_cast<uint32_t>(size)) == static_cast<int64_t>(size);
    plat::FileClose(h);
    if (!written) return 0;
    const std::wstring name = plat::Utf8ToWide(path);

    CMp3File f;
    if (f.Open(name.c_str())) {
        Check(f.GetFirstFrame() < size);
        Check(f.GetLastFrame() >= f.GetFirstFrame() && f.GetLastFrame() < size);
        Check(f.GetFrameCount() >= 1);
        Check(f.GetTotalSamples() == f.GetFrameCount() * f.GetSamplesPerFrame());
        const MediaFormat* format = f.GetFormat();
        Check(format && (format->nChannels == 1 || format->nChannels == 2) && format->nSamplesPerSec >= 8000);

        std::vector<uint8_t> buffer(9001);
        const uint64_t budget = kMaxFramesDecoded * f.GetSamplesPerFrame() * format->nChannels * 2;
        if (ReadToEnd(f, buffer, budget)) Check(f.IsEnd() == 1);
        f.SeekTime(1);
        (void)f.GetTime();
        ReadToEnd(f, buffer, budget);
        f.SeekTime(100000);
        Check(f.IsEnd() == 1);
        f.Rewind();
        Check(f.GetTime() == 0);
        (void)f.ReadData(buffer.data(), 4608, 1000);
        f.Close();
    }

    MediaKind kind = MEDIA_RAW;
    if (auto opened = OpenMediaFile(name.c_str(), &kind)) (void)GetMediaInfo(*opened, kind);
    return 0;
}
