// Decoder output against a reference decoder (mpg123 to 32-bit float) on
// files made by lame at test time and on the ISO/IEC 11172-4 Layer III
// compliance streams. Every file must meet the "limited accuracy" bound.
#include "media/MediaOpen.h"
#include "platform/Platform.h"
#include "tests/core/Mp3TestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace mp3test;

namespace {

struct EncodeCase {
    const char* name;
    uint32_t rate; // of the input and the MP3 (lame keeps these input rates at these bit rates)
    const char* lameArgs;
    uint32_t channels; // of our output
    bool tagFrame;     // lame writes its Info/Xing frame unless told not to
};

const EncodeCase kEncodeCases[] = {
    {"cbr128_joint_44k", 44100, "-b 128 -m j", 2, true},
    {"vbr_v2_joint_44k", 44100, "-V 2", 2, true},
    {"vbr_v0_stereo_44k", 44100, "-V 0 -m s", 2, true},
    {"cbr320_stereo_48k", 48000, "-b 320 -m s", 2, true},
    {"cbr96_joint_32k", 32000, "-b 96 -m j", 2, true},
    {"abr_dual_44k", 44100, "--abr 192 -m d", 2, true},
    {"cbr64_mono_44k", 44100, "-b 64 -m m", 1, true},
    {"crc_cbr160_44k", 44100, "-p -b 160", 2, true},
    {"id3v2_tagged_44k", 44100, "-b 128 --add-id3v2 --tt Title --ta Artist --pad-id3v2-size 5000", 2, true},
    {"no_info_frame_44k", 44100, "-t -b 112", 2, false},
    {"mpeg2_cbr64_22k", 22050, "-b 64", 2, true},
    {"mpeg2_vbr_24k", 24000, "-V 4", 2, true},
    {"mpeg2_mono_16k", 16000, "-b 32 -m m", 1, false},
    {"mpeg25_cbr32_11k", 11025, "-b 32", 2, true},
    {"mpeg25_cbr48_12k", 12000, "-b 48", 2, true},
    {"mpeg25_mono_8k", 8000, "-b 16 -m m", 1, false}, // too small a frame for lame's tag
};

class Mp3EncodedConformance : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Mp3EncodedConformance, MatchesReferenceWithinLimitedAccuracy) {
    if (!HaveTool("lame") || !HaveTool("mpg123")) GTEST_SKIP() << "lame or mpg123 missing";
    const EncodeCase& c = GetParam();
    testutil::TempDir dir("mp3conf");
    const std::string mp3 = EncodeSignal(dir.Path(), c.name, c.rate, 2, c.lameArgs);
    std::vector<float> ref;
    ASSERT_TRUE(ReferenceDecode(mp3, &ref));

    const Decoded ours = DecodeFile(mp3);
    ASSERT_TRUE(ours.opened);
    EXPECT_EQ(ours.rate, c.rate);
    EXPECT_EQ(ours.channels, c.channels);
    EXPECT_EQ(ours.tagFrame, c.tagFrame);
    EXPECT_EQ(ours.samplesPerFrame, c.rate >= 32000 ? 1152u : 576u);
    // The reference plays the tag frame as one frame of silence; we leave it
    // out. Every audio frame, the last ones included, must come out.
    const size_t skip = c.tagFrame ? ours.samplesPerFrame : 0;
    ASSERT_EQ(ref.size() / 2, ours.pcm.size() / c.channels + skip);
    EXPECT_EQ(ours.pcm.size() / c.channels, ours.totalSamples);
    ExpectLimitedAccuracy(ours.pcm, c.channels, ref, skip);
}

INSTANTIATE_TEST_SUITE_P(Lame, Mp3EncodedConformance, ::testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Beside the repository in CI; a git worktree sits one level deeper.
std::string ComplianceFile(const std::string& name) {
    const std::string near = std::string(SONVEL_SOURCE_DIR) + "/../shared/conformance/mp3-iso";
    const std::string worktree = std::string(SONVEL_SOURCE_DIR) + "/../../shared/conformance/mp3-iso";
    const bool useNear = std::filesystem::exists(near) || !std::filesystem::exists(worktree);
    return (useNear ? near : worktree) + "/" + name + ".bit";
}

const char* const kComplianceStreams[] = {"l3-compl",   "l3-he_32khz", "l3-he_44khz", "l3-he_48khz",
                                          "l3-he_mode", "l3-hecommon", "l3-si",       "l3-si_block",
                                          "l3-si_huff", "l3-sin1k0db"};

class Mp3ComplianceStream : public ::testing::TestWithParam<const char*> {};

TEST_P(Mp3ComplianceStream, MatchesReferenceWithinLimitedAccuracy) {
    const std::string path = ComplianceFile(GetParam());
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "compliance streams not present";
    if (!HaveTool("mpg123")) GTEST_SKIP() << "mpg123 missing";
    testutil::TempDir dir("mp3iso");
    // The reference writes beside its input; work on a copy.
    const std::string copy = dir.File(std::string(GetParam()) + ".bit");
    ASSERT_TRUE(std::filesystem::copy_file(path, copy));
    std::vector<float> ref;
    ASSERT_TRUE(ReferenceDecode(copy, &ref));
    const Decoded ours = DecodeFile(copy);
    ASSERT_TRUE(ours.opened);
    ASSERT_FALSE(ours.tagFrame);
    ASSERT_EQ(ref.size() / 2, ours.pcm.size() / ours.channels);
    ExpectLimitedAccuracy(ours.pcm, ours.channels, ref, 0);
}

INSTANTIATE_TEST_SUITE_P(Iso11172_4, Mp3ComplianceStream, ::testing::ValuesIn(kComplianceStreams),
                         [](const auto& info) {
                             std::string n = info.param;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

TEST(Mp3Compliance, FreeFormatStreamIsRefused) {
    const std::string path = ComplianceFile("l3-he_free");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "compliance streams not present";
    MediaKind kind = MEDIA_WAV;
    EXPECT_EQ(OpenMediaFile(plat::Utf8ToWide(path).c_str(), &kind), nullptr); // neither WAV nor MP3
    EXPECT_EQ(kind, MEDIA_RAW);
}

} // namespace
