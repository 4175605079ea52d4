// CMp3File: the first-frame search, the frame scan, reading, seeking and
// timing, on hand-built frame sequences and on files made by lame.
#include "media/CMp3File.h"
#include "media/MediaOpen.h"
#include "platform/Platform.h"
#include "tests/core/Mp3TestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace mp3test;

namespace {

std::vector<uint8_t> Frames(const FrameShape& shape, int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) Append(out, SilentFrame(shape));
    return out;
}

std::vector<uint8_t> Id3Tag(uint32_t size) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0, uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F),
                                uint8_t((size >> 7) & 0x7F), uint8_t(size & 0x7F)};
    tag.resize(10 + size, 0);
    return tag;
}

class Mp3FileTest : public ::testing::Test {
protected:
    Mp3FileTest() : m_Dir("mp3file") {}
    std::wstring Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = m_Dir.File(name);
        EXPECT_TRUE(testutil::WriteAll(path, bytes.data(), bytes.size()));
        return plat::Utf8ToWide(path);
    }
    testutil::TempDir m_Dir;
};

struct OpenCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int opens;
    uint32_t firstFrame;
    uint32_t frameCount;
};

TEST_F(Mp3FileTest, FirstFrameSearchAndScan) {
    const FrameShape plain;  // 44.1 kHz, 128 kbit/s, 417 bytes
    FrameShape crc;
    crc.protection = 0;
    FrameShape layer2;
    layer2.layerField = 2;
    FrameShape free;
    free.bitrateIndex = 0;

    std::vector<OpenCase> cases;
    {
        std::vector<uint8_t> b = Id3Tag(4096);
        Append(b, Frames(plain, 10));
        cases.push_back({"ID3v2 tag of 4096 bytes", b, 1, 4106, 10});
    }
    {
        std::vector<uint8_t> b = Id3Tag(100000);  // beyond the first 64 KiB
        Append(b, Frames(plain, 8));
        cases.push_back({"ID3v2 tag of 100000 bytes", b, 1, 100010, 8});
    }
    {
        std::vector<uint8_t> b = Id3Tag(0);
        b[6] = b[7] = b[8] = b[9] = 0x7F;  // claims 256 MiB
        Append(b, Frames(plain, 8));
        cases.push_back({"ID3v2 tag larger than the file", b, 0, 0, 0});
    }
    {
        std::vector<uint8_t> b(1000, 0x00);
        b[10] = 0xFF, b[11] = 0xFB, b[12] = 0x90;  // a lone header in the junk
        Append(b, Frames(plain, 8));
        cases.push_back({"junk then a run of frames", b, 1, 1000, 8});
    }
    {
        std::vector<uint8_t> b(300, 0x00);
        Append(b, Frames(plain, 3));  // three frames are no run...
        b.resize(b.size() + 555, 0x00);
        const uint32_t start = uint32_t(b.size());
        Append(b, Frames(plain, 7));
        cases.push_back({"short run in junk is passed over", b, 1, start, 7});
    }
    {
        std::vector<uint8_t> b;
        const uint32_t rates[] = {9, 10, 11, 9, 12, 13, 14, 9, 10, 9};
        for (uint32_t r : rates) {
            FrameShape f = plain;
            f.bitrateIndex = r;
            Append(b, SilentFrame(f));
        }
        cases.push_back({"variable bitrate from the first frame", b, 1, 0, 10});
    }
    {
        std::vector<uint8_t> b;
        for (int i = 0; i < 8; ++i) {
            FrameShape f = plain;
            f.mode = i < 3 ? 3 : 1;  // single channel, then joint stereo
            f.protection = i % 2;
            Append(b, SilentFrame(f));
        }
        cases.push_back({"mode and protection change", b, 1, 0, 8});
    }
    cases.push_back({"two frames only", Frames(plain, 2), 1, 0, 2});
    cases.push_back({"one frame only", Frames(plain, 1), 0, 0, 0});
    cases.push_back({"CRC-protected frames", Frames(crc, 9), 1, 0, 9});
    cases.push_back({"Layer II", Frames(layer2, 9), 0, 0, 0});
    cases.push_back({"free format", Frames(free, 40), 0, 0, 0});
    {
        std::vector<uint8_t> b;
        for (int i = 0; i < 100; ++i) Append(b, {0xFF, 0xFB, 0x90, 0x00});
        cases.push_back({"headers without data", b, 0, 0, 0});
    }
    {
        std::vector<uint8_t> b = Frames(plain, 12);
        const std::vector<uint8_t> tail(5000, 0x5A);
        Append(b, tail);
        Append(b, {'T', 'A', 'G'});
        b.resize(b.size() + 125, ' ');
        cases.push_back({"trailing junk and ID3v1", b, 1, 0, 12});
    }
    {
        std::vector<uint8_t> b = Frames(plain, 12);
        b.resize(b.size() - 100);  // the last frame is cut short
        cases.push_back({"truncated last frame", b, 1, 0, 11});
    }
    cases.push_back({"empty", {}, 0, 0, 0});

    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        CMp3File file;
        const std::wstring name = Write("open.mp3", c.bytes);
        ASSERT_EQ(file.Open(name.c_str()), c.opens);
        if (!c.opens) continue;
        EXPECT_EQ(file.GetFirstFrame(), c.firstFrame);
        EXPECT_EQ(file.GetFrameCount(), c.frameCount);
        EXPECT_EQ(file.GetTotalSamples(), c.frameCount * 1152);
        EXPECT_EQ(file.GetPosition(), c.firstFrame);
        // Every complete frame plays, the last one included.
        std::vector<uint8_t> out(c.frameCount * 4608 + 10000);
        uint32_t total = 0;
        for (int i = 0; i < 100 && !file.IsEnd(); ++i) total += file.ReadData(out.data() + total, 9000);
        EXPECT_EQ(total, c.frameCount * 1152 * file.GetFormat()->nChannels * 2);
        EXPECT_EQ(file.IsEnd(), 1);
    }
}

TEST_F(Mp3FileTest, FormatAndConstantAnswers) {
    FrameShape mono;
    mono.mode = 3;
    CMp3File file;
    EXPECT_EQ(file.IsEnd(), 0);  // never opened: the last frame is unknown (all ones)
    const std::wstring name = Write("mono.mp3", Frames(mono, 8));
    ASSERT_EQ(file.Open(name.c_str()), 1);
    const MediaFormat* f = file.GetFormat();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->nKind, 1u);
    EXPECT_EQ(f->nSamplesPerSec, 44100u);
    EXPECT_EQ(f->nChannels, 1u);
    EXPECT_EQ(f->nBitsPerSample, 16u);
    EXPECT_EQ(file.GetFrameSize(), 417u);
    EXPECT_EQ(file.IsRawFile(), 0);
    EXPECT_EQ(file.IsWaveFile(), 0);
    EXPECT_EQ(file.WriteData(0, "x", 1), 0);
    EXPECT_EQ(file.WriteSamples(0, "x", 1), 1);
    EXPECT_EQ(file.SetFormat(0, f), 1);
    EXPECT_EQ(file.SetFormat(1, f), 0);
    EXPECT_EQ(file.SetFormat(0, nullptr), 0);
    std::vector<uint8_t> out(100000);
    EXPECT_EQ(file.ReadData(out.data(), 100000), 8u * 2304u);  // one channel
    file.Close();
    EXPECT_EQ(file.ReadData(out.data(), 100000), 0u);
    EXPECT_EQ(file.GetSize(), 0u);

    // Two-channel frames anywhere make the whole file two-channel.
    std::vector<uint8_t> mixed = Frames(mono, 7);
    Append(mixed, Frames(FrameShape{}, 3));
    CMp3File both;
    const std::wstring name2 = Write("mixed.mp3", mixed);
    ASSERT_EQ(both.Open(name2.c_str()), 1);
    EXPECT_EQ(both.GetFormat()->nChannels, 2u);
    EXPECT_EQ(both.ReadData(out.data(), 100000), 10u * 4608u);
}

TEST_F(Mp3FileTest, LowerSamplingFrequenciesOpenWithHalfFrames) {
    FrameShape lsf;
    lsf.versionBits = 2;
    lsf.bitrateIndex = 8;  // 64 kbit/s at 22.05 kHz: 208 bytes
    CMp3File file;
    const std::wstring name = Write("lsf.mp3", Frames(lsf, 20));
    ASSERT_EQ(file.Open(name.c_str()), 1);
    EXPECT_EQ(file.GetFormat()->nSamplesPerSec, 22050u);
    EXPECT_EQ(file.GetFrameSize(), 208u);
    EXPECT_EQ(file.GetSamplesPerFrame(), 576u);
    EXPECT_EQ(file.GetTotalSamples(), 20u * 576u);
    std::vector<uint8_t> out(100000);
    EXPECT_EQ(file.ReadData(out.data(), 100000), 20u * 576u * 4u);
}

TEST_F(Mp3FileTest, EncoderTagFramesAreNotPlayed) {
    struct TagCase {
        const char* name;
        FrameShape shape;
        uint32_t offset;
        const char* tag;
    };
    FrameShape mono;
    mono.mode = 3;
    FrameShape crc;
    crc.protection = 0;
    FrameShape lsf;
    lsf.versionBits = 2;
    lsf.bitrateIndex = 8;
    const TagCase cases[] = {{"Info, stereo", FrameShape{}, 36, "Info"}, {"Xing, mono", mono, 21, "Xing"},
                             {"Info after CRC", crc, 38, "Info"},      {"Info without CRC bytes", crc, 36, "Info"},
                             {"VBRI", FrameShape{}, 36, "VBRI"},         {"Xing, MPEG-2 stereo", lsf, 21, "Xing"}};
    for (const TagCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> first = SilentFrame(c.shape);
        std::memcpy(&first[c.offset], c.tag, 4);
        std::vector<uint8_t> b = first;
        Append(b, Frames(c.shape, 9));
        CMp3File file;
        const std::wstring name = Write("tag.mp3", b);
        ASSERT_EQ(file.Open(name.c_str()), 1);
        EXPECT_EQ(file.HasTagFrame(), 1);
        EXPECT_EQ(file.GetFirstFrame(), first.size());
        EXPECT_EQ(file.GetFrameCount(), 9u);
    }
}

TEST_F(Mp3FileTest, TimeAndSeekByFrameIndex) {
    // 10005 frames of 417 bytes: 44.1 kHz, 128 kbit/s, no padding.
    std::vector<uint8_t> b = Id3Tag(90);
    Append(b, Frames(FrameShape{}, 10005));
    CMp3File file;
    const std::wstring name = Write("long.mp3", b);
    ASSERT_EQ(file.Open(name.c_str()), 1);
    ASSERT_EQ(file.GetFrameSize(), 417u);
    EXPECT_EQ(file.GetTime(), 0u);
    ASSERT_EQ(file.Seek(file.GetFirstFrame() + 10000ull * 417), 1);
    EXPECT_EQ(file.GetTime(), 261u);  // 10000 * 1152 / 44100
    file.SeekTime(100);
    // Frame 100 * 44100 / 1152 = 3828.
    EXPECT_EQ(file.GetPosition(), file.GetFirstFrame() + 3828ull * 417);
    EXPECT_EQ(file.GetTime(), 99u);  // 3828 * 1152 / 44100 = 99.99
    EXPECT_EQ(file.IsEnd(), 0);
    file.SeekTime(262);  // past the end (261.3 s)
    EXPECT_GT(file.GetPosition(), file.GetLastFrame());
    EXPECT_EQ(file.IsEnd(), 1);
    std::vector<uint8_t> out(10000);
    EXPECT_EQ(file.ReadData(out.data(), 10000), 0u);
    file.Rewind();
    EXPECT_EQ(file.IsEnd(), 0);
    EXPECT_EQ(file.GetPosition(), file.GetFirstFrame());
    EXPECT_EQ(file.ReadData(out.data(), 10000), 10000u);
}

TEST_F(Mp3FileTest, BadInputFailsOrPlaysWhatIsDecodable) {
    // Random bytes: no run of frames.
    std::vector<uint8_t> garbage(300000);
    uint32_t x = 7;
    for (uint8_t& v : garbage) {
        x = x * 1103515245u + 12345u;
        v = uint8_t(x >> 16);
    }
    CMp3File g;
    const std::wstring gname = Write("garbage.mp3", garbage);
    EXPECT_EQ(g.Open(gname.c_str()), 0);

    // 100 MB of zeros, made sparse in a temporary file.
    const std::string zeros = m_Dir.File("zeros.mp3");
    ASSERT_TRUE(testutil::WriteAll(zeros, "", 0));
    std::filesystem::resize_file(std::filesystem::path(plat::Utf8ToWide(zeros)), 100ull << 20);
    CMp3File z;
    const std::wstring zname = plat::Utf8ToWide(zeros);
    EXPECT_EQ(z.Open(zname.c_str()), 0);
    MediaKind kind = MEDIA_MP3;
    EXPECT_EQ(OpenMediaFile(zname.c_str(), &kind), nullptr);

    // Frames with garbage inside them: decoding goes on to the end.
    std::vector<uint8_t> damaged = Frames(FrameShape{}, 30);
    for (size_t i = 40; i < damaged.size(); i += 97) damaged[i] = uint8_t(i * 31);
    CMp3File d;
    const std::wstring dname = Write("damaged.mp3", damaged);
    ASSERT_EQ(d.Open(dname.c_str()), 1);
    std::vector<uint8_t> out(30 * 4608);
    uint32_t total = 0;
    for (int i = 0; i < 50 && !d.IsEnd(); ++i) total += d.ReadData(out.data() + total, uint32_t(out.size()) - total);
    EXPECT_EQ(d.IsEnd(), 1);
    EXPECT_LE(total, out.size());
}

TEST_F(Mp3FileTest, MediaOpenTriesWaveThenMp3) {
    std::vector<int16_t> pcm(2000, 100);
    const std::string wav = m_Dir.File("x.wav");
    ASSERT_TRUE(WriteWav(wav, pcm, 44100, 2));
    MediaKind kind = MEDIA_RAW;
    auto w = OpenMediaFile(plat::Utf8ToWide(wav).c_str(), &kind);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(kind, MEDIA_WAV);

    const std::wstring mp3 = Write("x.bin", Frames(FrameShape{}, 10));  // the extension does not matter
    auto m = OpenMediaFile(mp3.c_str(), &kind);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(kind, MEDIA_MP3);
    const MediaInfo info = GetMediaInfo(*m, kind);
    EXPECT_EQ(info.tag, 0x55u);
    EXPECT_EQ(info.rate, 44100u);
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(info.bits, 16u);
    EXPECT_EQ(info.frames, 11520u);
}

// ---- files made by lame

class Mp3FileEncoded : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("lame")) GTEST_SKIP() << "lame missing";
        m_Dir = std::make_unique<testutil::TempDir>("mp3enc");
    }
    std::string Make(const std::string& name, const std::string& args, uint32_t seconds = 6) {
        const std::string wav = m_Dir->File(name + ".wav");
        const std::string mp3 = m_Dir->File(name + ".mp3");
        EXPECT_TRUE(WriteWav(wav, TestSignal(44100, seconds, 2), 44100, 2));
        EXPECT_TRUE(Encode(wav, mp3, args));
        return mp3;
    }
    std::unique_ptr<testutil::TempDir> m_Dir;
};

TEST_F(Mp3FileEncoded, SmallReadsGiveTheSameStreamAsOneLargeRead) {
    const std::string mp3 = Make("small", "-V 2", 3);
    const Decoded large = DecodeFile(mp3, 224000);
    ASSERT_TRUE(large.opened);
    ASSERT_EQ(large.pcm.size(), size_t(large.totalSamples) * 2);
    for (uint32_t chunk : {1000u, 4u, 1002u, 4609u}) {
        SCOPED_TRACE(chunk);
        const Decoded small = DecodeFile(mp3, chunk);
        EXPECT_TRUE(small.pcm == large.pcm);
    }
}

TEST_F(Mp3FileEncoded, VariableBitrateSeekLandsOnTheFrameOfThatTime) {
    const std::string mp3 = Make("vbr", "-V 0");
    const std::vector<uint8_t> bytes = testutil::ReadAll(mp3);
    CMp3File file;
    ASSERT_EQ(file.Open(plat::Utf8ToWide(mp3).c_str()), 1);
    ASSERT_EQ(file.HasTagFrame(), 1);
    // Walk the frames independently of the class.
    std::vector<uint64_t> offsets;
    for (uint64_t pos = file.GetFirstFrame(); pos + 4 <= bytes.size();) {
        Mp3FrameInfo f;
        if (!ParseMp3Header(&bytes[pos], &f)) break;
        offsets.push_back(pos);
        pos += f.nFrameSize;
    }
    ASSERT_EQ(offsets.size(), file.GetFrameCount());
    for (uint32_t t : {1u, 2u, 5u}) {
        SCOPED_TRACE(t);
        file.SeekTime(t);
        const uint64_t index = uint64_t(t) * 44100 / 1152;
        EXPECT_EQ(file.GetPosition(), offsets[index]);
        EXPECT_EQ(file.GetTime(), index * 1152 / 44100);
    }
}

TEST_F(Mp3FileEncoded, SeekThenDecodeEqualsDecodeFromTheStart) {
    const std::string mp3 = Make("seek", "-b 128");
    const Decoded whole = DecodeFile(mp3);
    ASSERT_TRUE(whole.opened);
    CMp3File file;
    ASSERT_EQ(file.Open(plat::Utf8ToWide(mp3).c_str()), 1);
    for (uint32_t t : {3u, 1u}) {
        SCOPED_TRACE(t);
        file.SeekTime(t);
        std::vector<int16_t> after;
        std::vector<uint8_t> buffer(224000);
        for (int i = 0; i < 100 && !file.IsEnd(); ++i) {
            const uint32_t n = file.ReadData(buffer.data(), 224000);
            const size_t at = after.size();
            after.resize(at + n / 2);
            std::memcpy(after.data() + at, buffer.data(), n);
        }
        const size_t from = size_t(t) * 44100 / 1152 * 1152 * 2;  // in samples, both channels
        ASSERT_EQ(after.size(), whole.pcm.size() - from);
        // Once the reservoir has refilled and the overlap and synthesis
        // history have caught up (three frames), the streams are the same.
        const size_t settle = 3 * 1152 * 2;
        EXPECT_TRUE(std::equal(after.begin() + settle, after.end(), whole.pcm.begin() + from + settle));
    }
}

TEST_F(Mp3FileEncoded, TwoFilesDecodeSideBySide) {
    const std::string a = Make("a", "-b 160", 3);
    const std::string b = Make("b", "-V 4 -m s", 3);
    const Decoded aAlone = DecodeFile(a, 5000);
    const Decoded bAlone = DecodeFile(b, 5000);
    CMp3File fa, fb;
    ASSERT_EQ(fa.Open(plat::Utf8ToWide(a).c_str()), 1);
    ASSERT_EQ(fb.Open(plat::Utf8ToWide(b).c_str()), 1);
    std::vector<int16_t> outA, outB;
    std::vector<uint8_t> buffer(5000);
    for (int i = 0; i < 10000 && !(fa.IsEnd() && fb.IsEnd()); ++i) {
        for (CMp3File* f : {&fa, &fb}) {
            std::vector<int16_t>& out = f == &fa ? outA : outB;
            const uint32_t n = f->ReadData(buffer.data(), 5000);
            const size_t at = out.size();
            out.resize(at + n / 2);
            std::memcpy(out.data() + at, buffer.data(), n);
        }
    }
    EXPECT_TRUE(outA == aAlone.pcm);
    EXPECT_TRUE(outB == bAlone.pcm);
}

TEST_F(Mp3FileEncoded, TruncatedFilePlaysItsCompleteFrames) {
    const std::string mp3 = Make("trunc", "-b 128 -t", 3);
    std::vector<uint8_t> bytes = testutil::ReadAll(mp3);
    // Keep 40 whole frames and part of the 41st.
    size_t pos = 0;
    for (int i = 0; i < 40; ++i) {
        Mp3FrameInfo f;
        ASSERT_EQ(ParseMp3Header(&bytes[pos], &f), 1);
        pos += f.nFrameSize;
    }
    bytes.resize(pos + 200);
    const std::string cut = m_Dir->File("cut.mp3");
    ASSERT_TRUE(testutil::WriteAll(cut, bytes.data(), bytes.size()));
    const Decoded full = DecodeFile(mp3);
    const Decoded part = DecodeFile(cut, 7000);
    ASSERT_TRUE(part.opened);
    EXPECT_EQ(part.totalSamples, 40u * 1152u);
    ASSERT_EQ(part.pcm.size(), 40u * 1152u * 2u);
    EXPECT_TRUE(std::equal(part.pcm.begin(), part.pcm.end(), full.pcm.begin()));
}

}  // namespace
