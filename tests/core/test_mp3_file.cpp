// CMp3File: the first-frame search, the frame scan, reading, seeking and
// timing, on hand-built frame sequences and on files made by lame.
#include "media/CMp3File.h"
#include "media/MediaOpen.h"
#include "platform/Platform.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/Mp3TestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace mp3test;

namespace {

std::vector<uint8_t> Id3Tag(uint32_t size) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift : {21, 14, 7, 0}) // the size in 7-bit bytes
        tag.push_back(uint8_t((size >> shift) & 0x7F));
    tag.resize(10 + size, 0);
    return tag;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    Append(a, b);
    return a;
}

// A frame of `shape` carrying an encoder's tag at `offset`.
std::vector<uint8_t> Tagged(const FrameShape& shape, uint32_t offset, const char* tag) {
    std::vector<uint8_t> first = SilentFrame(shape);
    std::memcpy(&first[offset], tag, 4);
    return first;
}

class Mp3FileTest : public ::testing::Test {
  protected:
    testutil::TempDir m_Dir{"mp3file"};
};

// Also the encoder's tag frame, which is not played: Info after the CRC bytes
// and where it would be without them are both found.
TEST_F(Mp3FileTest, FirstFrameSearchAndScan) {
    const FrameShape plain; // 44.1 kHz, 128 kbit/s, 417 bytes
    std::vector<uint8_t> hugeTag = Id3Tag(0);
    hugeTag[6] = hugeTag[7] = hugeTag[8] = hugeTag[9] = 0x7F; // claims 256 MiB
    std::vector<uint8_t> loneHeader(1000, 0x00);
    loneHeader[10] = 0xFF, loneHeader[11] = 0xFB, loneHeader[12] = 0x90;
    std::vector<uint8_t> vbr, modes, headersOnly, truncated = Frames(plain, 12);
    for (uint32_t r : {9, 10, 11, 9, 12, 13, 14, 9, 10, 9})
        Append(vbr, SilentFrame({.bitrateIndex = r}));
    for (uint32_t i = 0; i < 8; ++i) // single channel, then joint stereo
        Append(modes, SilentFrame({.mode = i < 3 ? 3u : 1u, .protection = i % 2}));
    for (int i = 0; i < 100; ++i)
        Append(headersOnly, {0xFF, 0xFB, 0x90, 0x00});
    truncated.resize(truncated.size() - 100); // the last frame is cut short
    std::vector<uint8_t> id3v1(5000, 0x5A);
    Append(id3v1, {'T', 'A', 'G'});
    id3v1.resize(id3v1.size() + 125, ' ');

    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int opens;
        uint32_t firstFrame, frameCount, channels = 2, samplesPerFrame = 1152;
        int tag = 0;
    } cases[] = {
        {"ID3v2 tag of 4096 bytes", Cat(Id3Tag(4096), Frames(plain, 10)), 1, 4106, 10},
        {"ID3v2 tag beyond the first 64 KiB", Cat(Id3Tag(100000), Frames(plain, 8)), 1, 100010, 8},
        {"ID3v2 tag larger than the file", Cat(hugeTag, Frames(plain, 8)), 0, 0, 0},
        {"junk with a lone header, then a run of frames", Cat(loneHeader, Frames(plain, 8)), 1, 1000, 8},
        // Three frames are no run.
        {"short run in junk is passed over",
         Cat(Cat(Cat(std::vector<uint8_t>(300), Frames(plain, 3)), std::vector<uint8_t>(555)),
             Frames(plain, 7)),
         1, 300 + 3 * 417 + 555, 7},
        {"variable bitrate from the first frame", vbr, 1, 0, 10},
        {"mode and protection change", modes, 1, 0, 8},
        {"two frames only", Frames(plain, 2), 1, 0, 2},
        {"one frame only", Frames(plain, 1), 0, 0, 0},
        {"CRC-protected frames", Frames(kCrc, 9), 1, 0, 9},
        {"Layer II", Frames({.layerField = 2}, 9), 0, 0, 0},
        {"free format", Frames({.bitrateIndex = 0}, 40), 0, 0, 0},
        {"headers without data", headersOnly, 0, 0, 0},
        {"trailing junk and ID3v1", Cat(Frames(plain, 12), id3v1), 1, 0, 12},
        {"truncated last frame", truncated, 1, 0, 11},
        {"empty", {}, 0, 0, 0},
        {"random bytes: no run of frames", testutil::Noise(300000, 7), 0, 0, 0},
        {"mono", Frames(kMono, 8), 1, 0, 8, 1},
        // Two-channel frames anywhere make the whole file two-channel.
        {"mono then stereo", Cat(Frames(kMono, 7), Frames({}, 3)), 1, 0, 10, 2},
        {"MPEG-2: half frames", Frames(kLsf, 20), 1, 0, 20, 2, 576},
        {"Info tag", Cat(Tagged({}, 36, "Info"), Frames({}, 9)), 1, 417, 9, 2, 1152, 1},
        {"Xing tag, mono", Cat(Tagged(kMono, 21, "Xing"), Frames(kMono, 9)), 1, 417, 9, 1, 1152, 1},
        {"Info tag after the CRC", Cat(Tagged(kCrc, 38, "Info"), Frames(kCrc, 9)), 1, 417, 9, 2, 1152, 1},
        {"Info tag, CRC not skipped", Cat(Tagged(kCrc, 36, "Info"), Frames(kCrc, 9)), 1, 417, 9, 2, 1152, 1},
        {"VBRI tag", Cat(Tagged({}, 36, "VBRI"), Frames({}, 9)), 1, 417, 9, 2, 1152, 1},
        {"Xing tag, MPEG-2", Cat(Tagged(kLsf, 21, "Xing"), Frames(kLsf, 9)), 1, 208, 9, 2, 576, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMp3File file;
        const std::wstring name = m_Dir.Put("open.mp3", c.bytes);
        ASSERT_EQ(file.Open(name.c_str()), c.opens);
        if (!c.opens) continue;
        EXPECT_EQ(file.GetFirstFrame(), c.firstFrame);
        EXPECT_EQ(file.HasTagFrame(), c.tag);
        EXPECT_EQ(file.GetFrameCount(), c.frameCount);
        EXPECT_EQ(file.GetTotalSamples(), c.frameCount * c.samplesPerFrame);
        EXPECT_EQ(file.GetPosition(), c.firstFrame);
        const MediaFormat* f = file.GetFormat();
        EXPECT_EQ(std::vector<uint32_t>({f->nKind, f->nSamplesPerSec, f->nChannels, f->nBitsPerSample}),
                  std::vector<uint32_t>({1, c.samplesPerFrame == 576 ? 22050u : 44100u, c.channels, 16}));
        // Every complete frame plays, the last one included.
        std::vector<int16_t> pcm;
        ReadInto(file, pcm, 9000, 100);
        EXPECT_EQ(pcm.size(), c.frameCount * c.samplesPerFrame * c.channels);
        EXPECT_EQ(file.IsEnd(), 1);
    }
}

TEST_F(Mp3FileTest, TimeAndSeekByFrameIndex) {
    // 10005 frames of 417 bytes: 44.1 kHz, 128 kbit/s, no padding.
    CMp3File file;
    ASSERT_EQ(file.Open(m_Dir.Put("long.mp3", Cat(Id3Tag(90), Frames({}, 10005))).c_str()), 1);
    EXPECT_EQ(file.GetTime(), 0u);
    ASSERT_EQ(file.Seek(file.GetFirstFrame() + 10000ull * 417), 1);
    EXPECT_EQ(file.GetTime(), 261u); // 10000 * 1152 / 44100
    file.SeekTime(100);
    // Frame 100 * 44100 / 1152 = 3828.
    EXPECT_EQ(file.GetPosition(), file.GetFirstFrame() + 3828ull * 417);
    EXPECT_EQ(file.GetTime(), 99u); // 3828 * 1152 / 44100 = 99.99
    EXPECT_EQ(file.IsEnd(), 0);
    file.SeekTime(262); // past the end (261.3 s)
    EXPECT_GT(file.GetPosition(), file.GetLastFrame());
    EXPECT_EQ(file.IsEnd(), 1);
    std::vector<uint8_t> out(10000);
    EXPECT_EQ(file.ReadData(out.data(), 10000), 0u);
    file.Rewind();
    EXPECT_EQ(file.IsEnd(), 0);
    EXPECT_EQ(file.GetPosition(), file.GetFirstFrame());
    EXPECT_EQ(file.ReadData(out.data(), 10000), 10000u);
    file.Close();
    EXPECT_EQ(file.ReadData(out.data(), 10000), 0u);
    EXPECT_EQ(file.GetSize(), 0u);
}

TEST_F(Mp3FileTest, BadInputFailsOrPlaysWhatIsDecodable) {
    // 100 MB of zeros, made sparse in a temporary file.
    const std::wstring zeros = m_Dir.Put("zeros.mp3", {});
    std::filesystem::resize_file(std::filesystem::path(zeros), 100ull << 20);
    MediaKind kind = MEDIA_MP3;
    EXPECT_EQ(OpenMediaFile(zeros.c_str(), &kind), nullptr);

    // Frames with garbage inside them: decoding goes on to the end.
    std::vector<uint8_t> damaged = Frames({}, 30);
    for (size_t i = 40; i < damaged.size(); i += 97)
        damaged[i] = uint8_t(i * 31);
    CMp3File d;
    ASSERT_EQ(d.Open(m_Dir.Put("damaged.mp3", damaged).c_str()), 1);
    std::vector<int16_t> out;
    ReadInto(d, out, 4608, 50);
    EXPECT_EQ(d.IsEnd(), 1);
    EXPECT_LE(out.size(), 30u * 2304);
}

// The contents decide, not the extension.
TEST_F(Mp3FileTest, MediaOpenTriesWaveThenMp3) {
    ASSERT_TRUE(enginetest::WriteWav16(m_Dir.File("x.mp3"), 1, 22050, std::vector<int16_t>(2000, 100)));
    const struct {
        std::wstring name;
        MediaKind kind;
        std::vector<uint64_t> info; // tag, channels, rate, bits, frames
    } cases[] = {{plat::Utf8ToWide(m_Dir.File("x.mp3")), MEDIA_WAV, {1, 1, 22050, 16, 2000}},
                 {m_Dir.Put("x.wav", Frames({}, 10)), MEDIA_MP3, {0x55, 2, 44100, 16, 11520}}};
    for (const auto& c : cases) {
        MediaKind kind = MEDIA_RAW;
        auto file = OpenMediaFile(c.name.c_str(), &kind);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(kind, c.kind);
        const MediaInfo i = GetMediaInfo(*file, kind);
        EXPECT_EQ(std::vector<uint64_t>({i.tag, i.channels, i.rate, i.bits, i.frames}), c.info);
    }
}

// ---- files made by lame

class Mp3FileEncoded : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveTool("lame")) GTEST_SKIP() << "lame missing";
    }
    testutil::TempDir m_Dir{"mp3enc"};
};

TEST_F(Mp3FileEncoded, VariableBitrateSeekLandsOnTheFrameOfThatTimeAndDecodesAsFromTheStart) {
    const std::string mp3 = EncodeSignal(m_Dir.Path(), "vbr", 44100, 6, "-V 0");
    const Decoded whole = DecodeFile(mp3);
    ASSERT_EQ(whole.pcm.size(), size_t(whole.totalSamples) * 2);
    for (uint32_t chunk : {4u, 1002u, 4609u}) // small reads give the stream of one large read
        EXPECT_TRUE(DecodeFile(mp3, chunk).pcm == whole.pcm) << chunk;
    CMp3File file;
    ASSERT_EQ(file.Open(plat::Utf8ToWide(mp3).c_str()), 1);
    ASSERT_EQ(file.HasTagFrame(), 1);
    // Walk the frames independently of the class.
    const std::vector<size_t> offsets = FrameOffsets(testutil::ReadAll(mp3), file.GetFirstFrame());
    ASSERT_EQ(offsets.size(), file.GetFrameCount());
    for (uint32_t t : {2u, 5u, 1u}) {
        SCOPED_TRACE(t);
        file.SeekTime(t);
        const uint64_t index = uint64_t(t) * 44100 / 1152;
        EXPECT_EQ(file.GetPosition(), offsets[index]);
        EXPECT_EQ(file.GetTime(), index * 1152 / 44100);
        std::vector<int16_t> after;
        ReadInto(file, after, 224000, 100);
        const size_t from = index * 1152 * 2; // in samples, both channels
        ASSERT_EQ(after.size(), whole.pcm.size() - from);
        // Once the reservoir has refilled and the overlap and synthesis
        // history have caught up (three frames), the streams are the same.
        const size_t settle = 3 * 1152 * 2;
        EXPECT_TRUE(std::equal(after.begin() + settle, after.end(), whole.pcm.begin() + from + settle));
    }
}

} // namespace
