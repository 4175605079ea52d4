// CWaveFile: the recorder's 56-byte writer and the reader, on hand-built files
// (tests/scripts/wav_decode.sh reads the files sox and ffmpeg write).
#include "media/CWaveFile.h"
#include "media/MediaOpen.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using testutil::ReadAll;
using testutil::TempDir;
const auto W = plat::Utf8ToWide;
using testutil::Noise;

// Reads a file that a writer may still hold open. On Windows that takes a
// share mode allowing the writer, which the stream library asks for.
Bytes ReadShared(const std::string& path) {
    std::ifstream in(std::filesystem::path(W(path)), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32At(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
// The RIFF size, the fact frame count and the data size of a 56-byte header.
std::array<uint32_t, 3> Sizes(const Bytes& file) {
    return {Le32At(file, 4), Le32At(file, 44), Le32At(file, 52)};
}
// Appends each value little-endian in its number of bytes.
void Put(Bytes& b, std::initializer_list<std::pair<uint32_t, int>> fields) {
    for (auto [v, n] : fields)
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// ---------------------------------------------------------------- hand-built files

struct Chunk {
    const char* id;
    Bytes body;
    bool pad = true;        // the RIFF pad byte after an odd body
    int64_t sizeField = -1; // the size written, when it is not the body's
};

Bytes Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    b.insert(b.end(), form, form + 4);
    for (const Chunk& c : chunks) {
        b.insert(b.end(), c.id, c.id + 4);
        Put(b, {{static_cast<uint32_t>(c.sizeField >= 0 ? c.sizeField : int64_t(c.body.size())), 4}});
        b.insert(b.end(), c.body.begin(), c.body.end());
        if ((c.body.size() & 1) && c.pad) b.push_back(0);
    }
    uint32_t riff = static_cast<uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

Chunk Fmt(uint32_t tag, uint32_t ch, uint32_t rate, uint32_t bits, uint32_t align = 0, uint32_t avg = 0) {
    if (align == 0) align = ch * ((bits + 7) / 8);
    if (avg == 0) avg = align * rate;
    Bytes b;
    Put(b, {{tag, 2}, {ch, 2}, {rate, 4}, {avg, 4}, {align, 2}, {bits, 2}});
    return {"fmt ", b};
}

// The extensible form: 40 bytes, the sub-format GUID naming `subTag`.
Chunk FmtExt(uint32_t subTag, uint32_t ch, uint32_t rate, uint32_t bits, uint32_t validBits,
             bool goodGuid = true) {
    Chunk c = Fmt(0xFFFE, ch, rate, bits);
    Put(c.body, {{22, 2}, {validBits, 2}, {ch == 2 ? 3u : 4u, 4} /* channel mask */, {subTag, 2}});
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                              0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    c.body.insert(c.body.end(), tail, tail + 14);
    if (!goodGuid) c.body.back() ^= 0xFF;
    return c;
}

Chunk Other(const char* id, size_t n, bool pad = true) {
    return {id, Bytes(n, 'x'), pad};
}

struct Expect {
    uint32_t tag, ch, rate, bits, frames;
};

// The format, and every byte the reader hands out from the start of the audio.
void CheckOpened(CWaveFile& f, const Expect& e, const Bytes& samples, const std::string& what) {
    SCOPED_TRACE(what);
    const MediaFormat* fmt = f.GetFormat();
    ASSERT_NE(fmt, nullptr);
    EXPECT_EQ(std::vector<uint32_t>({fmt->nKind, f.GetFormatTag(), fmt->nChannels, fmt->nSamplesPerSec,
                                     fmt->nBitsPerSample, f.GetFrames()}),
              std::vector<uint32_t>({1, e.tag, e.ch, e.rate, e.bits, e.frames}));
    Bytes got, piece(1000);
    f.Rewind();
    for (uint32_t n; (n = f.ReadData(piece.data(), 1000)) > 0;)
        got.insert(got.end(), piece.begin(), piece.begin() + n);
    EXPECT_TRUE(got == samples) << got.size() << " bytes read";
    EXPECT_EQ(f.IsEnd(), 1);
}

// ---------------------------------------------------------------- writer

WAVEFORMATEX Pcm(int ch, int rate, int bits) {
    WAVEFORMATEX f;
    MakePcmFormat(f, ch, rate, bits);
    return f;
}

// A file that exists, an empty name and a second create are CFile's answers.
TEST(WaveFileWriter, CreateRefusesFormatsItCannotWrite) {
    TempDir dir("wav");
    const WAVEFORMATEX good = Pcm(2, 48000, 16);
    WAVEFORMATEX bad[6] = {good, good, good, good, good, good}; // float, then each field 0
    bad[0].wFormatTag = 3, bad[1].nChannels = 0, bad[2].nSamplesPerSec = 0;
    bad[3].nAvgBytesPerSec = 0, bad[4].nBlockAlign = 0, bad[5].wBitsPerSample = 0;
    for (int i = 0; i < 6; ++i) {
        const std::string path = dir.File("refused" + std::to_string(i) + ".wav");
        CWaveFile w;
        EXPECT_EQ(w.CreateWave(W(path).c_str(), bad[i], 1), -1) << i;
        EXPECT_FALSE(plat::PathExists(path.c_str())) << i;
    }
}

// What the recorder writes: 56 bytes of header (fmt, a fact chunk with the
// frame count, data) and the samples, unpadded. Also what is on disk right
// after the create, every size still 0.
Bytes Recording(uint32_t ch, uint32_t rate, uint32_t bits, const Bytes& samples) {
    Chunk fact{"fact", {}};
    Put(fact.body, {{static_cast<uint32_t>(samples.size() / (ch * bits / 8)), 4}});
    return Riff({Fmt(1, ch, rate, bits), fact, {"data", samples, false}});
}

// Written in uneven pieces and read back: the same bytes, format and length.
// One writer makes every file (its count starts again each time), the first
// from a MediaFormat; reading a file never writes to it.
TEST(WaveFileWriter, RoundTripsBitExact) {
    TempDir dir("wav");
    struct Case {
        int ch, rate, bits;
        size_t bytes;
    } const cases[] = {{2, 22050, 16, 88},
                       {1, 8000, 8, 8001},
                       {2, 44100, 16, 44100 * 4},
                       {1, 48000, 24, 3 * 4801},
                       {2, 96000, 32, 8 * 1000}};
    CWaveFile w;
    EXPECT_EQ(w.SetFormat(0, nullptr), 0);
    MediaFormat mf{};
    mf.nKind = 1, mf.nSamplesPerSec = 22050, mf.nChannels = 2, mf.nBitsPerSample = 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string path = dir.File("rt" + std::to_string(c.rate) + ".wav");
        const Bytes samples = Noise(c.bytes, c.bits);
        if (&c == cases) {
            ASSERT_EQ(w.SetFormat(0, &mf), 1);
            ASSERT_EQ(w.Create(W(path).c_str(), 1), 0);
        } else {
            ASSERT_EQ(w.CreateWave(W(path).c_str(), Pcm(c.ch, c.rate, c.bits), 1), 0);
        }
        EXPECT_EQ(w.GetFrames(), 0u);
        EXPECT_TRUE(ReadShared(path) == Recording(c.ch, c.rate, c.bits, {}));
        EXPECT_EQ(w.WriteData(samples.data(), 4), 0); // only WriteSamples writes
        // Pieces of 1, 4, 13, 40 ... frames.
        for (size_t at = 0, frames = 1; at < samples.size(); frames = frames * 3 + 1) {
            const size_t n = std::min(frames * c.ch * (c.bits / 8), samples.size() - at);
            ASSERT_EQ(w.WriteSamples(samples.data() + at, static_cast<uint32_t>(n)), 1);
            at += n;
        }
        const uint32_t frames = static_cast<uint32_t>(c.bytes / (c.ch * c.bits / 8));
        EXPECT_EQ(w.GetFrames(), frames);
        w.Close();
        const Bytes written = Recording(c.ch, c.rate, c.bits, samples);
        EXPECT_TRUE(ReadAll(path) == written);

        CWaveFile r;
        ASSERT_EQ(r.Open(W(path).c_str()), 1);
        CheckOpened(r, {1, uint32_t(c.ch), uint32_t(c.rate), uint32_t(c.bits), frames}, samples, path);
        EXPECT_EQ(r.WriteSamples(samples.data(), 4), 1);
        r.Close();
        EXPECT_TRUE(ReadAll(path) == written);
    }
}

// A header refresh in the middle of a recording: the sizes on disk follow what
// was written, later appends land after the earlier ones, and what a killed
// process would leave behind plays all that the last refresh described, or
// all there is when the header was never refreshed (sizes 0).
TEST(WaveFileWriter, HeaderRefreshKeepsAppendsInPlace) {
    TempDir dir("wav");
    const std::string path = dir.File("live.wav");
    const Bytes a = Noise(400, 1), b = Noise(600, 2), c = Noise(200, 3);
    Bytes file;
    auto openCrashCopy = [&](uint32_t frames, const Bytes& samples) {
        file = ReadShared(path);
        CWaveFile r;
        ASSERT_EQ(r.Open(dir.Put("crashed.wav", file).c_str()), 1);
        CheckOpened(r, {1, 1, 8000, 16, frames}, samples, "crashed");
    };
    CWaveFile w;
    ASSERT_EQ(w.CreateWave(W(path).c_str(), Pcm(1, 8000, 16), 1), 0);
    ASSERT_EQ(w.WriteSamples(a.data(), 400), 1);
    openCrashCopy(200, a);
    EXPECT_EQ(Sizes(file), (std::array<uint32_t, 3>{48, 0, 0}));
    ASSERT_EQ(w.WriteHeader(), 1);
    ASSERT_EQ(w.WriteSamples(b.data(), 600), 1);
    ASSERT_EQ(w.WriteHeader(), 1);
    ASSERT_EQ(w.WriteHeader(), 1); // repeated refreshes must not add up
    ASSERT_EQ(w.WriteSamples(c.data(), 200), 1);

    Bytes all = a;
    all.insert(all.end(), b.begin(), b.end());
    openCrashCopy(500, all); // the header covers a and b
    all.insert(all.end(), c.begin(), c.end());
    ASSERT_EQ(file.size(), 56u + 1200u);
    EXPECT_EQ(Sizes(file), (std::array<uint32_t, 3>{48 + 1000, 500, 1000}));
    EXPECT_TRUE(Bytes(file.begin() + 56, file.end()) == all);

    w.Close();
    EXPECT_EQ(Sizes(ReadAll(path)), (std::array<uint32_t, 3>{48 + 1200, 600, 1200}));
}

// ---------------------------------------------------------------- reader, hand-built

Bytes Cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

// Layouts other writers make are read; what cannot be played is refused
// (no expected format), also by the opener that tries every kind.
TEST(WaveFileReader, ReadsOrRefusesHandBuiltFiles) {
    TempDir dir("wav");
    const Bytes s4 = Noise(4000); // 1000 frames of 16-bit stereo
    const Bytes s5 = Noise(5);    // 5 frames of 8-bit mono
    const Bytes s12 = Noise(12);
    const Chunk f16 = Fmt(1, 2, 44100, 16), f8 = Fmt(1, 1, 8000, 8);
    const Expect e16{1, 2, 44100, 16, 1000}, e8{1, 1, 8000, 8, 5};
    Chunk fmt18 = Fmt(3, 1, 8000, 32);
    Put(fmt18.body, {{0, 2}});
    const Bytes plain = Riff({f16, {"data", s4}});
    auto patched = [](Bytes b, size_t at, size_t n) {
        std::memset(b.data() + at, 0, n);
        return b;
    };
    struct Case {
        const char* what;
        Bytes file;
        Expect expect = {}; // tag 0: refused
        Bytes samples = {};
    };
    const Case cases[] = {
        {"fmt 18 float with fact", Riff({fmt18, Other("fact", 4), {"data", s4}}), {3, 1, 8000, 32, 1000}, s4},
        {"extensible pcm 24", Riff({FmtExt(1, 2, 48000, 24, 24), {"data", s12}}), {1, 2, 48000, 24, 2}, s12},
        {"extensible float", Riff({FmtExt(3, 1, 48000, 32, 32), {"data", s4}}), {3, 1, 48000, 32, 1000}, s4},
        {"extensible 24 in 32",
         Riff({FmtExt(1, 1, 48000, 32, 24), {"data", s4}}),
         {1, 1, 48000, 32, 1000},
         s4},
        {"long LIST before data", Riff({f16, Other("LIST", 5000), {"data", s4}}), e16, s4},
        {"JUNK and bext first", Riff({Other("JUNK", 28), Other("bext", 602), f16, {"data", s4}}), e16, s4},
        {"odd chunk padded", Riff({f16, Other("abcd", 3), {"data", s4}}), e16, s4},
        {"odd chunk unpadded", Riff({f16, Other("abcd", 3, false), {"data", s4}}), e16, s4},
        {"odd data then trailing LIST", Riff({f8, {"data", s5}, Other("LIST", 30)}), e8, s5},
        {"trailing id3", Riff({f16, {"data", s4}, Other("id3 ", 128)}), e16, s4},
        {"data before fmt", Riff({{"data", s4}, f16}), e16, s4},
        {"zero data size, odd, unpadded", Riff({f8, {"data", s5, false, 0}}), e8, s5},
        {"data size past the end", Riff({f16, {"data", s4, true, 0x7FFFF000}}), e16, s4},
        {"cut after the data header", Cut(Riff({f8, {"data", s5}}), 44), {1, 1, 8000, 8, 0}, {}},
        {"20-bit in 3 bytes", Riff({Fmt(1, 2, 8000, 20, 6), {"data", s12}}), {1, 2, 8000, 24, 2}, s12},
        {"byte rate not matching", Riff({Fmt(1, 2, 44100, 16, 4, 1), {"data", s4}}), e16, s4},
        {"empty data", Riff({f16, {"data", {}}, Other("LIST", 8)}), {1, 2, 44100, 16, 0}, {}},
        {"second fmt ignored", Riff({f16, Fmt(1, 1, 8000, 8), {"data", s4}}), e16, s4},
        {"empty", {}},
        {"eleven bytes", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}},
        {"no chunks", Cut(plain, 12)},
        {"not RIFF", patched(plain, 0, 1)},
        {"not WAVE", Riff({f16, {"data", s4}}, "AVI ")},
        {"no data", Riff({f16, Other("LIST", 40)})},
        {"no fmt", Riff({Other("LIST", 40), {"data", s4}})},
        {"data of unknown size before fmt", Riff({{"data", s4, true, 0}, f16})},
        {"cut inside fmt", Cut(plain, 30)},
        {"cut inside the data header", Cut(plain, 40)},
        {"chunk size past the end", Riff({f16, {"LIST", Bytes(16, 'x'), true, 0xFFFFFFF0}, {"data", s4}})},
        {"fmt of 14 bytes", Riff({{"fmt ", Cut(f16.body, 14)}, {"data", {}}})},
        {"block align not channels x bits", Riff({Fmt(1, 2, 44100, 16, 2), {"data", s4}})},
        {"rate 0", Riff({Fmt(1, 2, 0, 16, 4, 4), {"data", s4}})},
        {"rate absurd", Riff({Fmt(1, 2, 50000000, 16), {"data", s4}})},
        {"channels 0", Riff({Fmt(1, 0, 44100, 16, 4, 4), {"data", s4}})},
        {"channels absurd", Riff({Fmt(1, 1000, 44100, 16), {"data", s4}})},
        {"bits 0", Riff({Fmt(1, 2, 44100, 0, 4), {"data", s4}})},
        {"byte rate 0", patched(plain, 20 + 8, 4)},
        {"block align 0", patched(plain, 20 + 12, 2)},
        {"ADPCM", Riff({Fmt(2, 2, 44100, 4, 1024, 44359), {"data", s4}})},
        {"mu-law", Riff({Fmt(7, 1, 8000, 8), {"data", s4}})},
        {"16-bit float", Riff({Fmt(3, 1, 8000, 16), {"data", s4}})},
        {"40-bit integer", Riff({Fmt(1, 1, 8000, 40), {"data", s4}})},
        {"extensible unknown GUID", Riff({FmtExt(1, 2, 48000, 16, 16, false), {"data", s4}})},
        {"extensible valid bits above container", Riff({FmtExt(1, 2, 48000, 16, 24), {"data", s4}})},
        {"extensible cut short", Riff({{"fmt ", Cut(FmtExt(1, 2, 48000, 16, 16).body, 18)}, {"data", {}}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = dir.Put("case.wav", c.file);
        CWaveFile f;
        ASSERT_EQ(f.Open(path.c_str()), c.expect.tag ? 1 : 0);
        if (c.expect.tag) {
            CheckOpened(f, c.expect, c.samples, c.what);
            continue;
        }
        EXPECT_FALSE(f.IsOpen());
        EXPECT_EQ(f.IsEnd(), 1);
        MediaKind kind = MEDIA_WAV;
        EXPECT_EQ(OpenMediaFile(path.c_str(), &kind), nullptr);
        EXPECT_EQ(kind, MEDIA_RAW);
    }
    CWaveFile f;
    EXPECT_EQ(f.Open(W(dir.File("missing.wav")).c_str()), 0);
}

// Positions on a 10 s 44.1 kHz 16-bit stereo file whose data starts at 44.
TEST(WaveFileReader, TimeSeekAndEnd) {
    TempDir dir("wav");
    const Bytes samples = Noise(176400 * 10 + 4 * 100); // 10 s and 100 frames
    CWaveFile f;
    ASSERT_EQ(f.Open(dir.Put("ten.wav", Riff({Fmt(1, 2, 44100, 16), {"data", samples}})).c_str()), 1);
    EXPECT_EQ(f.GetPosition(), 44u);

    struct Step {
        uint32_t seek, position, time;
        int end;
    };
    const Step steps[] = {
        {0, 44, 0, 0}, {1, 176444, 1, 0}, {9, 1587644, 9, 0}, {10, 1764044, 10, 0}, {11, 1940444, 11, 1}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.seek);
        f.SeekTime(s.seek);
        EXPECT_EQ(f.GetPosition(), s.position);
        EXPECT_EQ(f.GetTime(), s.time);
        EXPECT_EQ(f.IsEnd(), s.end);
    }

    // Past the end nothing is read; from 10 s the last 100 frames remain.
    uint8_t buf[1000];
    EXPECT_EQ(f.ReadData(buf, sizeof buf), 0u);
    f.SeekTime(10);
    EXPECT_EQ(f.ReadData(buf, sizeof buf), 400u);
    EXPECT_EQ(0, std::memcmp(buf, samples.data() + 1764000, 400));
    EXPECT_EQ(f.IsEnd(), 1);
    EXPECT_EQ(f.GetTime(), 10u);               // whole seconds, also at the end
    EXPECT_EQ(f.ReadData(buf, 4, 44 + 8), 4u); // a positioned read
    EXPECT_EQ(0, std::memcmp(buf, samples.data() + 8, 4));

    f.Rewind();
    EXPECT_EQ(f.GetTime(), 0u);
    EXPECT_EQ(f.IsEnd(), 0);
}

} // namespace
