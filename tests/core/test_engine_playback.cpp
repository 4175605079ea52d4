// Playback mixed into the recording and played to the monitor, checked on the
// recorded and rendered samples.
#include "engine/PlayFileInfo.h"
#include "tests/core/EngineTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace enginetest;

namespace {

// trunc(x * 1/sqrt(2)), the mix of x with silence.
int16_t Mixed(int x) {
    return static_cast<int16_t>(std::trunc(x * 0.7071067811865476));
}

class EnginePlayback : public EngineTest {
  protected:
    // Records `capture` with play.wav mixed in; the play file must reach its end.
    std::vector<int16_t> RecordWithPlay(const std::vector<int16_t>& capture, int channels,
                                        const std::function<void(RecordSessionOptions&)>& adjust) {
        RecordSessionResult r;
        WavData w = Record(
            dir.Path(), capture, channels,
            [&](RecordSessionOptions& o) {
                o.playPath = Play();
                adjust(o);
            },
            &r);
        EXPECT_TRUE(r.playEnded);
        EXPECT_EQ(w.channels, channels);
        return AfterLead(w);
    }
    std::string Play() const { return dir.File("play.wav"); }
};

// 16-bit samples as play-file data of another layout: float s / 32768, or
// 24-bit with a low byte below the 16 bits the player keeps.
std::vector<uint8_t> Encode(const std::vector<int16_t>& samples, bool isFloat) {
    std::vector<uint8_t> out;
    for (int16_t s : samples) {
        uint8_t b[4] = {0x7F, static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)};
        const float f = s / 32768.0f;
        if (isFloat) std::memcpy(b, &f, 4);
        out.insert(out.end(), b, b + (isFloat ? 4 : 3));
    }
    return out;
}

// Mono play.wav whose frame i carries i / 480 + 1 (1 .. seconds * 100).
std::vector<int16_t> Steps(int seconds) {
    std::vector<int16_t> v(static_cast<size_t>(48000) * seconds);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<int16_t>(i / 480 + 1);
    return v;
}

} // namespace

TEST_F(EnginePlayback, ModeVoiceCancelAndGainShapeTheMix) {
    struct Case {
        int channels;
        int16_t cl, cr; // captured frame (cl only when mono)
        int16_t pl, pr; // play file frame
        int mode;
        bool vcut;
        int gain;
        int16_t l, r;
    } cases[] = {
        {2, -100, 3000, 100, 300, 0, false, 8, -70, 2121}, // mode 0: the play file is not recorded
        {2, 1000, 3000, 100, 300, 1, false, 8, 777, 2333}, // both sides
        {2, 1000, 3000, 100, 300, 7, false, 8, 777, 2333}, // an unknown mode too
        {2, 1000, 3000, 100, 300, 2, false, 8, 906, 2121}, // (282, 0)
        {2, 1000, 3000, 100, 300, 3, false, 8, 707, 2320}, // (0, 282)
        {2, 0, 0, 30000, 30000, 2, false, 8, 23169, 0},    // (m, 0) saturates
        {2, 30000, -30000, 30000, -30000, 1, false, 8, 32767, -32768}, // the mix saturates
        {2, 0, 0, 1000, 400, 1, true, 16, 848, -848},                  // (600, -600) x2
        {2, 0, 0, 30000, -30000, 1, true, 8, 23169, -23170},           // cancel saturates
        {2, 0, 0, -30000, 30000, 1, true, 8, -23170, 23169},
        {2, 0, 0, 5, 5, 1, true, 8, 0, 0},
        {2, 0, 0, 20000, -20000, 1, false, 16, 23169, -23170}, // gain saturates
        {2, 0, 0, 10000, 4000, 1, false, 4, 3535, 1414},       // x0.5
        {1, 500, 0, 100, 300, 0, false, 8, 552, 0},            // mono: the downmix whatever the mode
        {1, 500, 0, 100, 300, 3, false, 8, 552, 0},
        {1, 0, 0, 30000, 30000, 1, false, 8, 23169, 0}, // the downmix saturates
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWav16(Play(), 2, 48000, Repeat({c.pl, c.pr}, 24000)));
        std::vector<int16_t> in = c.channels == 2 ? Repeat({c.cl, c.cr}, 9600) : Repeat({c.cl}, 9600);
        EXPECT_EQ(RecordWithPlay(in, c.channels,
                                 [&](RecordSessionOptions& o) {
                                     o.playFileMode = c.mode;
                                     o.voiceCancel = c.vcut;
                                     o.playGain = c.gain;
                                     o.recFileChannel = c.channels == 2;
                                 }),
                  c.channels == 2 ? Repeat({c.l, c.r}, 9600) : Repeat({c.l}, 9600))
            << c.pl << "," << c.pr << " mode " << c.mode;
    }
}

// Float and 24-bit play files play at their own speed, each frame converted.
TEST_F(EnginePlayback, DelayAndMonitorOffPlayTheWholeFile) {
    ASSERT_TRUE(WriteWav(Play(), 3, 2, 48000, 32, Encode(Repeat({8000, -8000}, 48000), true)));
    // A start delay of 2 s is 96000 frames of silence, then the file's second.
    std::vector<int16_t> expect = Repeat({0, 0}, 96000);
    for (int16_t v : Repeat({5656, -5656}, 48000))
        expect.push_back(v);
    EXPECT_EQ(RecordWithPlay(std::vector<int16_t>(3 * 48000 * 2, 0), 2,
                             [](RecordSessionOptions& o) { o.playDelay = 2; }),
              expect);
    // A negative delay means none.
    ASSERT_TRUE(WriteWav(Play(), 1, 2, 48000, 24, Encode(Repeat({8000, -8000}, 2400), false)));
    EXPECT_EQ(
        RecordWithPlay(std::vector<int16_t>(4800, 0), 2, [](RecordSessionOptions& o) { o.playDelay = -3; }),
        Repeat({5656, -5656}, 2400));
    // Four seconds, more than the two chunks the monitor ring holds, all
    // recorded with the monitor off (16-bit stereo, copied as it is).
    ASSERT_TRUE(WriteWav16(Play(), 2, 48000, Repeat({1000, -400}, 4 * 48000)));
    expect = Repeat({707, -282}, 4 * 48000);
    expect.resize(5 * 48000 * 2, 0);
    EXPECT_EQ(RecordWithPlay(std::vector<int16_t>(5 * 48000 * 2, 0), 2,
                             [](RecordSessionOptions& o) { o.monitor = false; }),
              expect);
}

TEST_F(EnginePlayback, PlayFileInformationAndUnreadableFiles) {
    ASSERT_TRUE(WriteWav16(Play(), 1, 8000, std::vector<int16_t>(8000 * 90, 1)));
    PlayFileInfo info;
    EXPECT_EQ(ReadPlayFileInfo(plat::Utf8ToWide(Play()).c_str(), info), 8000u);
    EXPECT_EQ(info.frames, 720000u);
    EXPECT_EQ(info.durationText + "|" + info.rateText + "|" + info.channelText, " 0:01:30|8000 (Hz)|1ch");

    std::string bad = dir.File("bad.wav");
    ASSERT_TRUE(testutil::WriteAll(bad, "RIFF....WAVEjunk", 16));
    EXPECT_EQ(ReadPlayFileInfo(plat::Utf8ToWide(bad).c_str(), info), 0u);
    EXPECT_EQ(info.durationText, "");
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    for (const std::string& p : {bad, dir.File("missing.wav"), std::string()})
        EXPECT_EQ(a.OpenPlayFile(p), 0) << p;
    EXPECT_FALSE(a.HasPlayFile());
}

TEST_F(EnginePlayback, RendererPlaysTheFileFromTheSeekPositionToItsEnd) {
    ASSERT_TRUE(WriteWav16(Play(), 1, 48000, Steps(3)));
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    // Paced like a device, so the renderer keeps only what playback gives it.
    rig.Render()->SetRealtime(true);
    ASSERT_TRUE(a.OpenPlayFile(Play()) && a.MonitorOpen());
    a.PlayBegin(0, 2);
    ASSERT_TRUE(a.MonitorStart());
    // The end is posted on every render callback until playback is stopped.
    ASSERT_TRUE(WaitFor([&] { return rig.m_Log.Count(WM_PLAY_END) >= 3; }));
    a.PlayEnd();
    a.MonitorStop();
    const std::vector<int16_t> steps = Steps(3); // seconds 2 to 3
    EXPECT_EQ(Heard(rig.Render()), std::vector<int16_t>(steps.begin() + 96000, steps.end()));
    EXPECT_FALSE(a.HasPlayFile());
}

TEST_F(EnginePlayback, PauseWithCaptureRunningMixesSilenceAndLosesNothing) {
    ASSERT_TRUE(WriteWav16(Play(), 1, 48000, Steps(2)));
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    ASSERT_TRUE(a.OpenPlayFile(Play()));
    a.PlayBegin(0, 0);
    ASSERT_TRUE(WaitFor([&] { return a.GetPlayRecordRingUsed() > 0; }));
    ASSERT_TRUE(rig.StartCapture(std::make_shared<CBufferSignal>(std::vector<int16_t>(48000 * 2, 0), 2)));
    ASSERT_TRUE(a.RecordStart(Take()));
    for (int paused : {0, 1, 0}) {
        a.m_bPlayPaused = paused;
        rig.Deliver(4800);
    }
    rig.DrainRecord();
    EXPECT_EQ(a.RecordStop(), 1);
    a.PlayEnd();
    // Paused frames mix silence; after the pause the file goes on where it stopped.
    std::vector<int16_t> expect;
    for (size_t f = 0; f < 14400; ++f)
        expect.insert(expect.end(), 2,
                      f / 4800 == 1 ? 0 : Mixed(static_cast<int>((f < 4800 ? f : f - 4800) / 480 + 1)));
    ExpectTake(expect);
}
