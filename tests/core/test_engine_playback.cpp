// Playback mixed into the recording and played to the monitor, checked on the
// recorded and rendered samples.
#include "engine/PlayFileInfo.h"
#include "tests/core/EngineTestUtil.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace enginetest;

namespace {

// trunc(x * 1/sqrt(2)), the mix of x with silence.
int16_t Mixed(int x) {
    return static_cast<int16_t>(std::trunc(x * 0.7071067811865476));
}

// Records `capture` with `play` mixed in; the play file must reach its end.
std::vector<int16_t> RecordWithPlay(const testutil::TempDir& dir, const std::vector<int16_t>& capture,
                                    int channels, const std::string& play,
                                    const std::function<void(RecordSessionOptions&)>& adjust = {}) {
    RecordSessionResult r;
    WavData w = Record(
        dir.Path(), capture, channels,
        [&](RecordSessionOptions& o) {
            o.playPath = play;
            if (adjust) adjust(o);
        },
        &r);
    EXPECT_TRUE(r.playEnded);
    EXPECT_EQ(w.channels, channels);
    return AfterLead(w);
}

} // namespace

TEST(EnginePlayback, MixedIntoTheRecordingByPlayFileMode) {
    testutil::TempDir dir("playmode");
    std::string play = dir.File("play.wav");
    ASSERT_TRUE(WriteWav16(play, 2, 48000, Repeat({100, 300}, 48000)));
    struct Case {
        int mode;
        int16_t l, r;
    } cases[] = {
        {0, 707, 2121}, // (1000, 3000) mixed with (0, 0)
        {1, 777, 2333}, // with (100, 300)
        {2, 906, 2121}, // with (282, 0)
        {3, 707, 2320}, // with (0, 282)
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordWithPlay(dir, Repeat({1000, 3000}, 9600), 2, play,
                                 [&](RecordSessionOptions& o) { o.playFileMode = c.mode; }),
                  Repeat({c.l, c.r}, 9600))
            << "mode " << c.mode;
    // A mono recording gets the downmix whatever the mode: (500 + 282) / sqrt(2).
    for (int mode : {0, 2, 3})
        EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(4800, 500), 1, play,
                                 [&](RecordSessionOptions& o) {
                                     o.playFileMode = mode;
                                     o.recFileChannel = 0;
                                 }),
                  std::vector<int16_t>(4800, 552))
            << "mono, mode " << mode;
}

TEST(EnginePlayback, VoiceCancelAndPlayGainSaturate) {
    testutil::TempDir dir("vcut");
    struct Case {
        int16_t pl, pr;
        bool vcut;
        int gain;
        int16_t l, r;
    } cases[] = {
        {1000, 400, true, 16, 848, -848},          // (600, -600) x2
        {30000, -30000, true, 8, 23169, -23170},   // cancel saturates at (32767, -32768)
        {20000, -20000, false, 16, 23169, -23170}, // gain saturates
        {10000, 4000, false, 4, 3535, 1414},       // x0.5
    };
    for (const Case& c : cases) {
        std::string play = dir.File("play.wav");
        ASSERT_TRUE(WriteWav16(play, 2, 48000, Repeat({c.pl, c.pr}, 24000)));
        EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(9600, 0), 2, play,
                                 [&](RecordSessionOptions& o) {
                                     o.voiceCancel = c.vcut;
                                     o.playGain = c.gain;
                                 }),
                  Repeat({c.l, c.r}, 4800))
            << c.pl << "," << c.pr;
    }
}

TEST(EnginePlayback, DelayAndMonitorOffPlayTheWholeFile) {
    testutil::TempDir dir("delay");
    std::string play = dir.File("play.wav");
    ASSERT_TRUE(WriteWav16(play, 2, 48000, Repeat({8000, -8000}, 48000)));
    // A start delay of 2 s is 384000 bytes of silence (96000 frames), then the file's second.
    std::vector<int16_t> expect = Repeat({0, 0}, 96000);
    for (int16_t v : Repeat({5656, -5656}, 48000))
        expect.push_back(v);
    EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(3 * 48000 * 2, 0), 2, play,
                             [](RecordSessionOptions& o) { o.playDelay = 2; }),
              expect);
    // A negative delay means none.
    EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(4800, 0), 2, play,
                             [](RecordSessionOptions& o) { o.playDelay = -3; }),
              Repeat({5656, -5656}, 2400));

    // Four seconds, more than the two chunks the monitor ring holds, all
    // recorded with the monitor off.
    ASSERT_TRUE(WriteWav16(play, 2, 48000, Repeat({1000, 400}, 4 * 48000)));
    expect = Repeat({707, 282}, 4 * 48000);
    expect.resize(5 * 48000 * 2, 0);
    EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(5 * 48000 * 2, 0), 2, play,
                             [](RecordSessionOptions& o) { o.monitor = false; }),
              expect);
}

TEST(EnginePlayback, OtherSampleFormatsPlayAtTheirOwnSpeed) {
    testutil::TempDir dir("formats");
    const int frames = 24000; // half a second
    struct Case {
        const char* name;
        int tag, channels, bits;
    } cases[] = {{"mono16", 1, 1, 16}, {"mono8", 1, 1, 8}, {"stereo24", 1, 2, 24}, {"float", 3, 2, 32}};
    for (const Case& c : cases) {
        // Sample i of the file carries v(i) = ((i % 100) + 1) * 256 on every channel.
        std::vector<uint8_t> data;
        std::vector<int16_t> expect(48000 * 2, 0);
        for (int i = 0; i < frames; ++i) {
            const int v = ((i % 100) + 1) * 256;
            expect[2 * i] = expect[2 * i + 1] = Mixed(v);
            const float x = v / 32768.0f;
            uint8_t f[4];
            std::memcpy(f, &x, 4);
            for (int ch = 0; ch < c.channels; ++ch) {
                if (c.bits == 8)
                    data.push_back(static_cast<uint8_t>(128 + v / 256));
                else if (c.bits == 32)
                    data.insert(data.end(), f, f + 4);
                else if (c.bits == 24) // 0x7F: below the kept 16 bits
                    data.insert(data.end(), {0x7F, static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
                else
                    data.insert(data.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
            }
        }
        std::string play = dir.File(std::string(c.name) + ".wav");
        ASSERT_TRUE(WriteWav(play, c.tag, c.channels, 48000, c.bits, data));
        EXPECT_EQ(RecordWithPlay(dir, std::vector<int16_t>(48000 * 2, 0), 2, play), expect) << c.name;
    }
}

TEST(EnginePlayback, UnreadablePlayFileFailsBeforeTheFormatChanges) {
    testutil::TempDir dir("badplay");
    std::string bad = dir.File("bad.wav");
    ASSERT_TRUE(testutil::WriteAll(bad, "RIFF....WAVEjunk", 16));
    PlayFileInfo info;
    EXPECT_EQ(ReadPlayFileInfo(plat::Utf8ToWide(bad).c_str(), info), 0u);
    EXPECT_EQ(info.durationText, "");

    EngineRig rig;
    ASSERT_TRUE(rig.m_Audio.Initialize(&rig.m_Log));
    ASSERT_TRUE(rig.m_Audio.ChangeFormat(44100, 2, 2, 50));
    EXPECT_EQ(rig.m_Audio.ChangeFormat(0, 2, 2, 50), 0); // never 0 Hz
    EXPECT_EQ(rig.m_Audio.m_Frequency, 44100);
    EXPECT_EQ(rig.m_Audio.OpenPlayFile(bad), 0);
    EXPECT_FALSE(rig.m_Audio.HasPlayFile());
    EXPECT_EQ(rig.m_Audio.OpenPlayFile(dir.File("missing.wav")), 0);
    EXPECT_EQ(rig.m_Audio.OpenPlayFile(""), 0);
}

TEST(EnginePlayback, PlayFileInformation) {
    testutil::TempDir dir("info");
    std::string path = dir.File("long.wav");
    // 5400 s would be a large file; the header's frames decide, so write 90 s of 8 kHz mono.
    ASSERT_TRUE(WriteWav16(path, 1, 8000, std::vector<int16_t>(8000 * 90, 1)));
    PlayFileInfo info;
    EXPECT_EQ(ReadPlayFileInfo(plat::Utf8ToWide(path).c_str(), info), 8000u);
    EXPECT_EQ(info.channels, 1u);
    EXPECT_EQ(info.frames, 720000u);
    EXPECT_EQ(info.seconds, 90u);
    EXPECT_EQ(info.durationText, " 0:01:30");
    EXPECT_EQ(info.rateText, "8000 (Hz)");
    EXPECT_EQ(info.channelText, "1ch");
}

// ---------------------------------------------------------------- played through the rig

namespace {
// Mono play file whose frame i carries i / 480 + 1 (1 .. seconds * 100).
std::string WriteStepFile(const testutil::TempDir& dir, int seconds) {
    std::vector<int16_t> v(static_cast<size_t>(48000) * seconds);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(i / 480 + 1);
    std::string path = dir.File("steps.wav");
    EXPECT_TRUE(WriteWav16(path, 1, 48000, v));
    return path;
}
} // namespace

TEST(EnginePlayback, RendererPlaysTheFileFromTheSeekPositionToItsEnd) {
    testutil::TempDir dir("seek");
    std::string path = WriteStepFile(dir, 3);
    EngineRig rig;
    CAudioControl& a = rig.m_Audio;
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    // Paced like a device, so the renderer keeps only what playback gives it.
    rig.Render()->SetRealtime(true);
    ASSERT_TRUE(a.ChangeFormat(48000, 2, 2, 50));
    ASSERT_TRUE(a.OpenPlayFile(path));
    ASSERT_TRUE(a.MonitorOpen());
    testutil::TraceCapture trace;
    a.PlayBegin(0, 2);
    ASSERT_TRUE(a.MonitorStart());
    // The end is posted on every render callback until playback is stopped.
    ASSERT_TRUE(WaitFor([&] { return rig.m_Log.Count(WM_PLAY_END) >= 3; }));
    a.PlayEnd();
    a.MonitorStop();
    EXPECT_EQ(trace.Count("JUMP POS : 2\n"), 1);
    std::vector<int16_t> expect(48000); // seconds 2 to 3
    for (size_t i = 0; i < expect.size(); ++i)
        expect[i] = static_cast<int16_t>(201 + i / 480);
    EXPECT_EQ(Heard(rig.Render()), expect);
    EXPECT_FALSE(a.HasPlayFile());
}

TEST(EnginePlayback, PauseWithCaptureRunningMixesSilenceAndLosesNothing) {
    testutil::TempDir dir("pause");
    std::string path = WriteStepFile(dir, 2);
    EngineRig rig;
    CAudioControl& a = rig.m_Audio;
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    ASSERT_TRUE(a.ChangeFormat(48000, 2, 2, 50));
    ASSERT_TRUE(a.OpenPlayFile(path));
    a.PlayBegin(0, 0);
    ASSERT_TRUE(WaitFor([&] { return a.GetPlayRecordRingUsed() > 0; }));
    ASSERT_TRUE(rig.StartCapture(std::make_shared<CBufferSignal>(std::vector<int16_t>(48000 * 2, 0), 2)));
    a.m_bMonitor = 1;
    ASSERT_TRUE(a.RecordStart(dir.File("take.wav")));
    rig.Deliver(4800);
    a.m_bPlayPaused = 1;
    rig.Deliver(4800);
    a.m_bPlayPaused = 0;
    rig.Deliver(4800);
    rig.DrainRecord();
    EXPECT_EQ(a.RecordStop(), 1);
    a.PlayEnd();

    std::vector<int16_t> s = AfterLead(ReadWav(dir.File("take.wav")));
    ASSERT_EQ(s.size(), 3u * 4800 * 2);
    for (size_t f = 0; f < 14400; ++f) {
        // Paused frames mix silence; after the pause the file goes on where it stopped.
        int16_t expect = f < 4800 ? Mixed(static_cast<int>(f / 480 + 1))
                                  : (f < 9600 ? 0 : Mixed(static_cast<int>((f - 4800) / 480 + 1)));
        ASSERT_EQ(s[2 * f], expect) << "frame " << f;
    }
}
