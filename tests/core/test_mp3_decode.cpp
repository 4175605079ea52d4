// The Layer III decoder on its own: header parsing and Mp3Decode's answers,
// hand-out and buffering on hand-built and encoded streams. The constant
// tables are checked by the conformance runs, which decode every table.
#include "media/Mp3Decode.h"
#include "media/Mp3Header.h"
#include "tests/core/Mp3TestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

using namespace mp3test;

namespace {

TEST(Mp3Header, ParsesFieldsAndFrameSizes) {
    // Frame sizes worked out by hand from the standard's formulas; the version
    // slot (MPEG-1, 2, 2.5) and samples per frame as the decoder reads them.
    // The other rates and bit rates are the conformance runs' files.
    const struct {
        uint8_t bytes[4];
        uint32_t layer, channels, bitrate, frequency, frameSize, slot, samples;
    } valid[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 3, 2, 128000, 44100, 417, 0, 1152},  // 144*128000/44100
        {{0xFF, 0xFB, 0x92, 0x00}, 3, 2, 128000, 44100, 418, 0, 1152},  // + padding
        {{0xFF, 0xFB, 0xE0, 0xC4}, 3, 1, 320000, 44100, 1044, 0, 1152}, // single channel
        {{0xFF, 0xF3, 0x80, 0x00}, 3, 2, 64000, 22050, 208, 1, 576},    // 72*64000/22050
        {{0xFF, 0xE3, 0x18, 0xC0}, 3, 1, 8000, 8000, 72, 2, 576},       // MPEG-2.5
        {{0xFF, 0xFD, 0x80, 0x00}, 2, 2, 128000, 44100, 417, 0, 1152},  // Layer II
        {{0xFF, 0xFF, 0x40, 0x00}, 1, 2, 128000, 44100, 136, 0, 384},   // Layer I: (12*128000/44100)*4
        {{0xFF, 0xFB, 0x00, 0x00}, 3, 2, 0, 44100, 4, 0, 1152},         // free format: size unknown
    };
    for (const auto& c : valid) {
        Mp3FrameInfo info{};
        ASSERT_EQ(ParseMp3Header(c.bytes, &info), 1) << std::hex << int(c.bytes[1]) << int(c.bytes[2]);
        EXPECT_EQ(std::vector<uint32_t>({info.nLayer, info.nChannels, info.nBitrate, info.nFrequency,
                                         info.nFrameSize, mp3::HeaderVersionSlot(info.nHeader),
                                         Mp3SamplesPerFrame(info)}),
                  std::vector<uint32_t>(
                      {c.layer, c.channels, c.bitrate, c.frequency, c.frameSize, c.slot, c.samples}));
    }
    // The decoder reads the fields from the packed word of the first row: sync
    // 0xFFF | ID 1<<12 | layer 1<<13 | protection 1<<15 | bitrate 9<<16 | joint
    // stereo 1<<24 | mode extension 2<<26 | original 1<<29.
    Mp3FrameInfo packed{};
    ParseMp3Header(valid[0].bytes, &packed);
    EXPECT_EQ(packed.nHeader, 0x2909BFFFu);
    EXPECT_EQ(mp3::HeaderModeExtension(packed.nHeader), 2u);
    // Bitrate index 15, frequency index 3, layer field 0, reserved version,
    // MPEG-2.5 Layer II, no sync, sync cut short.
    const uint8_t invalid[][4] = {{0xFF, 0xFB, 0xF0, 0}, {0xFF, 0xFB, 0x9C, 0}, {0xFF, 0xF9, 0x90, 0},
                                  {0xFF, 0xEB, 0x90, 0}, {0xFF, 0xE5, 0x90, 0}, {0xFE, 0xFB, 0x90, 0},
                                  {0xFF, 0xC3, 0x90, 0}};
    for (const auto& bytes : invalid) {
        Mp3FrameInfo info{};
        EXPECT_EQ(ParseMp3Header(bytes, &info), 0)
            << std::hex << int(bytes[0]) << int(bytes[1]) << int(bytes[2]);
    }
}

TEST(Mp3Decode, SilentFramesGiveOneFramesWorthOfZeros) {
    const struct {
        const char* name;
        FrameShape shape;
        uint32_t bytesPerFrame;
    } cases[] = {{"stereo 44.1", {}, 4608},
                 {"mono 44.1", kMono, 2304},
                 {"crc", kCrc, 4608},
                 {"mpeg-2 stereo", kLsf, 2304},
                 {"mpeg-2 mono", {.versionBits = 2, .bitrateIndex = 8, .mode = 3}, 1152},
                 {"mpeg-2.5", {.versionBits = 0, .bitrateIndex = 4, .frequencyIndex = 2}, 2304}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = std::make_unique<Mp3DecoderState>();
        const std::vector<uint8_t> in = Frames(c.shape, 5);
        std::vector<uint8_t> out(100000, 0xAA);
        uint32_t produced = 99;
        // Part of a frame waits for more; the rest is stored without an output buffer.
        EXPECT_EQ(Mp3Decode(s.get(), in.data(), 100, out.data(), uint32_t(out.size()), &produced),
                  MP3_NEED_INPUT);
        EXPECT_EQ(produced, 0u);
        EXPECT_EQ(Mp3Decode(s.get(), in.data() + 100, uint32_t(in.size() - 100), nullptr, 0, &produced), 0);
        EXPECT_EQ(Mp3DecodeBuffered(s.get()), in.size());
        // Only the first frame found needs the header after it to confirm
        // it: the rest follow in step and need only their own bytes.
        EXPECT_EQ(Mp3Decode(s.get(), nullptr, 0, out.data(), uint32_t(out.size()), &produced),
                  MP3_NEED_INPUT);
        EXPECT_EQ(produced, 5 * c.bytesPerFrame);
        EXPECT_TRUE(std::all_of(out.begin(), out.begin() + produced, [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(Mp3DecodeBuffered(s.get()), 0u);
    }
}

TEST(Mp3Decode, SmallOutputBufferHandsOutTheRestFirst) {
    auto s = std::make_unique<Mp3DecoderState>();
    const std::vector<uint8_t> in = Frames({}, 3);
    std::vector<uint8_t> out(1000);
    uint32_t produced = 0;
    EXPECT_EQ(Mp3Decode(s.get(), in.data(), uint32_t(in.size()), out.data(), 1000, &produced),
              MP3_OUTPUT_FULL);
    EXPECT_EQ(produced, 1000u); // 250 sample frames
    EXPECT_EQ(Mp3DecodeHasPending(s.get()), 1);
    std::vector<uint8_t> big(4608);
    EXPECT_EQ(Mp3Decode(s.get(), nullptr, 0, big.data(), 3608, &produced), MP3_OUTPUT_FULL);
    EXPECT_EQ(produced, 3608u); // the remaining 902 sample frames, and no more
    EXPECT_EQ(Mp3DecodeHasPending(s.get()), 0);
    // A buffer too small for one sample frame takes nothing.
    EXPECT_EQ(Mp3Decode(s.get(), nullptr, 0, big.data(), 3, &produced), MP3_OUTPUT_FULL);
    EXPECT_EQ(produced, 0u);
}

// Then frames are found after junk and after frames of another layer.
TEST(Mp3Decode, RingTakesWhatFitsAndRefusesWhenFull) {
    auto s = std::make_unique<Mp3DecoderState>();
    std::vector<uint8_t> junk(20000, 0x11);
    uint32_t produced = 0;
    EXPECT_EQ(Mp3Decode(s.get(), junk.data(), uint32_t(junk.size()), nullptr, 0, &produced), 0);
    EXPECT_EQ(Mp3DecodeBuffered(s.get()), MP3_RING_BYTES - 1);
    EXPECT_EQ(Mp3Decode(s.get(), junk.data(), 10, nullptr, 0, &produced), MP3_ERROR);
    EXPECT_EQ(Mp3Decode(nullptr, junk.data(), 10, nullptr, 0, &produced), MP3_ERROR);
    // Junk is searched through and dropped, leaving room again.
    std::vector<uint8_t> out(100000);
    EXPECT_EQ(Mp3Decode(s.get(), nullptr, 0, out.data(), uint32_t(out.size()), &produced), MP3_NEED_INPUT);
    EXPECT_EQ(produced, 0u);
    EXPECT_LT(Mp3DecodeBuffered(s.get()), 4u);

    std::vector<uint8_t> in(777, 0x00);
    in[100] = 0xFF, in[101] = 0xFB;           // a lone sync in the junk
    Append(in, Frames({.layerField = 2}, 3)); // valid frames, but not Layer III
    Append(in, Frames({}, 4));
    Mp3DecodeSetEndOfInput(s.get());
    EXPECT_EQ(Mp3Decode(s.get(), in.data(), uint32_t(in.size()), out.data(), uint32_t(out.size()), &produced),
              MP3_NEED_INPUT);
    EXPECT_EQ(produced, 4u * 4608u);
}

// Decodes a whole stream, fed `piece` bytes at a time into output buffers
// of `outBytes`.
std::vector<uint8_t> DecodeInPieces(const std::vector<uint8_t>& in, uint32_t piece, uint32_t outBytes) {
    auto s = std::make_unique<Mp3DecoderState>();
    std::vector<uint8_t> result;
    std::vector<uint8_t> out(outBytes);
    size_t fed = 0;
    for (int guard = 0; guard < 10000000; ++guard) {
        uint32_t produced = 0;
        const int answer = Mp3Decode(s.get(), nullptr, 0, out.data(), outBytes, &produced);
        result.insert(result.end(), out.begin(), out.begin() + produced);
        if (answer == MP3_OUTPUT_FULL) continue;
        if (fed == in.size()) {
            if (s->endOfInput) break;
            Mp3DecodeSetEndOfInput(s.get());
            continue;
        }
        // The ring drops what does not fit: offer no more than its free space.
        const uint32_t room = MP3_RING_BYTES - 1 - Mp3DecodeBuffered(s.get());
        const uint32_t n = uint32_t(std::min<size_t>({piece, in.size() - fed, room}));
        EXPECT_EQ(Mp3Decode(s.get(), in.data() + fed, n, nullptr, 0, nullptr), 0);
        fed += n;
    }
    return result;
}

class Mp3DecodeEncoded : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveTool("lame")) GTEST_SKIP() << "lame missing";
    }
    std::vector<uint8_t> Make(const std::string& name, uint32_t rate, const std::string& args,
                              std::vector<int16_t> signal = {}) {
        return testutil::ReadAll(EncodeSignal(m_Dir.Path(), name, rate, 2, args, std::move(signal)));
    }
    testutil::TempDir m_Dir{"mp3dec"};
};

TEST_F(Mp3DecodeEncoded, AnyInputPiecesAndOutputSizesGiveTheSameStream) {
    const std::vector<uint8_t> in = Make("pieces", 44100, "-V 2");
    const std::vector<uint8_t> whole = DecodeInPieces(in, MP3_RING_BYTES, 1 << 20);
    ASSERT_GT(whole.size(), 44100u * 4);
    const uint32_t pieces[][2] = {{1, 4608}, {7, 1000}, {333, 4}, {4096, 6}, {1441, 17}, {16383, 100000}};
    for (const auto& p : pieces) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1]);
        const std::vector<uint8_t> got = DecodeInPieces(in, p[0], p[1]);
        ASSERT_EQ(got.size(), whole.size());
        EXPECT_TRUE(got == whole);
    }
}

TEST_F(Mp3DecodeEncoded, FullScaleClipsSymmetrically) {
    std::vector<int16_t> square(44100 * 2 * 2);
    for (size_t i = 0; i < square.size() / 2; ++i)
        square[2 * i] = square[2 * i + 1] = (i / 50) % 2 ? 32767 : -32768;
    const std::vector<uint8_t> in = Make("square", 44100, "-b 320", square);
    const std::vector<uint8_t> out = DecodeInPieces(in, 4096, 1 << 20);
    int16_t lo = 0, hi = 0;
    for (size_t i = 0; i + 1 < out.size(); i += 2) {
        const int16_t v = int16_t(out[i] | (out[i + 1] << 8));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(hi, 32767);
    EXPECT_EQ(lo, -32767); // -32768 never occurs
}

} // namespace
