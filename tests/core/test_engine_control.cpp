// CAudioControl driven step by step: record states, pause, the unanswered
// stop, the header refresh, the file split, a failing write, the FIFO
// overflow, the monitor path and the listener.
#include "tests/core/EngineTestUtil.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// A record file whose disk fills after `limit` bytes: the failing write stores nothing.
class CFullDiskWave : public CWaveFile {
  public:
    explicit CFullDiskWave(uint64_t limit) : m_Limit(limit) {}
    int WriteSamples(const void* buffer, uint32_t bytes) override {
        if (m_Written + bytes > m_Limit) return 0;
        m_Written += bytes;
        return CWaveFile::WriteSamples(buffer, bytes);
    }
    uint64_t m_Limit;
    uint64_t m_Written = 0;
};

class EngineControl : public EngineTest {};

} // namespace

TEST_F(EngineControl, RecordStatesWithPauseAndResume) {
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    EXPECT_EQ(a.RecordStart(Take()), 0); // capture not running
    EXPECT_EQ(a.RecordPause(), 0);
    EXPECT_EQ(a.RecordStop(), 0);

    ASSERT_TRUE(rig.StartCapture(Counting(200000)));
    EXPECT_EQ(a.RecordStart(""), 0);
    ASSERT_EQ(a.RecordStart(Take()), 1);
    EXPECT_EQ(a.GetRecordState(), REC_RECORDING);
    EXPECT_EQ(a.RecordStart(dir.File("other.wav")), 0); // already recording
    Feed(4800);
    EXPECT_EQ(a.GetRecordedSeconds(), 0u);
    Feed(48000);
    EXPECT_EQ(a.GetRecordedSeconds(), 1u);

    ASSERT_EQ(a.RecordPause(), 1);
    EXPECT_EQ(a.GetRecordState(), REC_PAUSED);
    EXPECT_EQ(a.RecordPause(), 1);                        // paused already
    Feed(96000);                                          // dropped
    ASSERT_EQ(a.RecordStart(dir.File("ignored.wav")), 1); // resumes the same file
    EXPECT_EQ(a.GetRecordState(), REC_RECORDING);
    Feed(2400);
    // The recorded time counts what went into the file, not the pause.
    EXPECT_EQ(a.GetRecordedSeconds(), 1u);

    EXPECT_EQ(a.RecordStop(), 1);
    EXPECT_EQ(a.GetRecordState(), REC_STOP);
    EXPECT_FALSE(plat::PathExists(dir.File("ignored.wav").c_str()));
    ExpectTake(CountingFrames({{0, 52800}, {52800 + 96000, 2400}}));
}

TEST_F(EngineControl, StopWhilePausedWritesNothingOfThePause) {
    ASSERT_TRUE(StartTake());
    Feed(4800);
    ASSERT_EQ(a.RecordPause(), 1);
    a.HoldRecordThreadForTest(true); // the paused blocks are still queued at STOP
    rig.Deliver(4800);
    a.HoldRecordThreadForTest(false);
    EXPECT_EQ(a.RecordStop(), 1);
    ExpectTake(CountingFrames({{0, 4800}}));
}

TEST_F(EngineControl, UnansweredStopIsCompletedByRecordStop) {
    ASSERT_TRUE(StartTake());
    Feed(4800);
    a.HoldRecordThreadForTest(true);
    uint32_t t0 = plat::TickCount();
    EXPECT_EQ(a.RecordStop(), 1);
    EXPECT_GE(plat::TickCount() - t0, 1900u);
    EXPECT_EQ(a.GetRecordState(), REC_STOP);
    a.HoldRecordThreadForTest(false);
    ExpectTake(CountingFrames({{0, 4800}}));
}

TEST_F(EngineControl, HeaderDescribesTheTakeWhileRecording) {
    ASSERT_TRUE(StartTake(48000 * 40));
    // 25 s of audio, as fast as it goes; then the process "dies": the file is
    // taken as it stands on disk while the recording is still open.
    Feed(48000 * 25);
    WavData w = ReadWav(Take());
    ASSERT_TRUE(w.ok);
    const uint64_t onDisk = w.fileSize - 56;
    EXPECT_EQ(onDisk, (24000u + 48000 * 25) * 4);
    // The header covers all but the last 10 s.
    EXPECT_LE(w.dataSize, onDisk);
    EXPECT_GE(w.dataSize, onDisk - 10u * 192000);
    EXPECT_EQ(w.riffSize, 48 + w.dataSize);
    EXPECT_EQ(w.factFrames, w.dataSize / 4);
    EXPECT_EQ(std::vector<int16_t>(w.samples.begin() + 48000, w.samples.begin() + 50000),
              CountingFrames({{0, 1000}}));
    EXPECT_EQ(a.RecordStop(), 1);
    EXPECT_EQ(ReadWav(Take()).dataSize, onDisk);
}

TEST_F(EngineControl, TakeContinuesInNumberedFilesAtTheSizeLimit) {
    ASSERT_TRUE(rig.StartCapture(Counting(100000)));
    a.RecordFileForTest().SetPartLimitForTest(100001); // rounded down to 25000 frames
    // A file that already has the second part's name is left alone.
    ASSERT_TRUE(testutil::WriteAll(dir.File("take_002.wav"), "keep", 4));
    ASSERT_EQ(a.RecordStart(Take()), 1);
    Feed(48000);
    EXPECT_EQ(a.RecordStop(), 1);
    EXPECT_EQ(testutil::ReadAll(dir.File("take_002.wav")).size(), 4u);

    // 24000 lead + 48000 frames = 72000 frames: parts of 25000, 25000, 22000.
    std::vector<int16_t> all;
    for (auto [name, frames] :
         {std::pair{"take.wav", 25000u}, {"take_003.wav", 25000u}, {"take_004.wav", 22000u}}) {
        WavData w = ReadWav(dir.File(name));
        EXPECT_EQ(w.dataSize, frames * 4) << name;
        ExpectConsistentHeader(w);
        all.insert(all.end(), w.samples.begin(), w.samples.end());
    }
    EXPECT_FALSE(plat::PathExists(dir.File("take_005.wav").c_str()));
    EXPECT_EQ(a.GetRecordParts(), 4); // the numbering skipped the taken _002
    std::vector<int16_t> expect = CountingFrames({{0, 48000}});
    expect.insert(expect.begin(), 48000, 0); // the lead
    EXPECT_EQ(all, expect);
}

TEST_F(EngineControl, FullDiskAtStartLeavesNoFileAndLaterStopsWithAValidFile) {
    ASSERT_TRUE(rig.StartCapture(Counting(200000)));
    CFullDiskWave none(0); // the lead cannot be written: nothing reaches the file
    a.RecordFileForTest().SetFileForTest(&none);
    EXPECT_EQ(a.RecordStart(Take()), 0);
    EXPECT_EQ(a.GetRecordState(), REC_STOP);
    EXPECT_FALSE(plat::PathExists(Take().c_str()));

    CFullDiskWave full((24000 + 10000) * 4); // room for the lead and 10000 frames
    a.RecordFileForTest().SetFileForTest(&full);
    ASSERT_EQ(a.RecordStart(Take()), 1);
    Feed(4800);
    Feed(48000);
    EXPECT_EQ(a.GetRecordState(), REC_STOP);
    ASSERT_EQ(rig.m_Log.Count(WM_REC_ERROR), 1);
    EXPECT_EQ(a.RecordStop(), 0); // nothing left to stop
    a.RecordFileForTest().SetFileForTest(nullptr);

    WavData w = ReadWav(Take());
    ExpectConsistentHeader(w);
    const uint64_t saved = w.dataSize / 4 - 24000;
    EXPECT_EQ(rig.m_Log.Params(WM_REC_ERROR)[0].first, w.dataSize / 4);
    EXPECT_GE(saved, 4800u);
    EXPECT_LE(saved, 10000u);
    EXPECT_EQ(AfterLead(w), CountingFrames({{0, saved}}));
    // Capture goes on; the next recording works.
    ASSERT_EQ(a.RecordStart(dir.File("next.wav")), 1);
    Feed(480);
    EXPECT_EQ(a.RecordStop(), 1);
    ExpectTake(CountingFrames({{52800, 480}}), "next.wav");
}

TEST_F(EngineControl, RecordFifoOverflowLosesItsContentAndRecordingGoesOn) {
    ASSERT_TRUE(rig.StartCapture(Counting(1000000), 48000, 2, 480, false));
    ASSERT_EQ(a.RecordStart(Take()), 1);
    Feed(4800);
    a.HoldRecordThreadForTest(true);
    // The FIFO holds 479999 bytes: 119999 frames; 249 blocks of 480 fit, the 250th overflows.
    rig.Deliver(480 * 250);
    EXPECT_EQ(a.GetOverflowCount(), 1u);
    EXPECT_EQ(a.GetRecordFifoUsed(), 1920u);
    a.HoldRecordThreadForTest(false);
    Feed(4800);
    EXPECT_EQ(a.RecordStop(), 1);
    // 4800 frames, then the block that overflowed and everything after it.
    ExpectTake(CountingFrames({{0, 4800}, {4800 + 480 * 249, 5280}}));
}

TEST_F(EngineControl, MonitorGetsMonoCaptureOnBothChannelsAndOffFlushesItsFifo) {
    std::vector<int16_t> mono(4800);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<int16_t>(i + 1);
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    rig.Render()->SetRealtime(true);
    ASSERT_TRUE(rig.StartCapture(std::make_shared<CBufferSignal>(mono, 1), 48000, 1));
    EXPECT_EQ(rig.Render()->GetFormat()->nChannels, 2);
    rig.Deliver(2400);
    ASSERT_TRUE(WaitFor([&] { return a.GetMonitorFifoUsed() == 0; }));
    a.MonitorStop(); // nothing drains the monitor FIFO now
    EXPECT_EQ(Heard(rig.Render()), std::vector<int16_t>(mono.begin(), mono.begin() + 2400));
    rig.Deliver(480);
    EXPECT_EQ(a.GetMonitorFifoUsed(), 480u * 4);
    a.m_bMonitor = 0;
    rig.Deliver(480);
    EXPECT_EQ(a.GetMonitorFifoUsed(), 0u);
}

TEST_F(EngineControl, FormatChangesAndDriverCreation) {
    rig.m_Params.m_DriverType = 1;
    ASSERT_TRUE(rig.StartCapture(Counting(1000)));
    // The current values close nothing; another rate closes both.
    EXPECT_EQ(a.ChangeFormat(48000, 2, 2, 50), 1);
    EXPECT_TRUE(a.GetCapture()->IsStarted() && a.GetRender()->IsStarted());
    EXPECT_EQ(a.ChangeFormat(44100, 2, 2, 50), 1);
    EXPECT_FALSE(a.GetCapture()->IsOpen() || a.GetRender()->IsOpen());
    // Out-of-range values are refused before anything is closed.
    ASSERT_TRUE(a.CaptureOpen());
    const int refused[][3] = {{44100, 5, 50}, {44100, 2, 4}, {0, 2, 50}}; // 0 Hz: an unreadable play file
    for (const auto& r : refused)
        EXPECT_EQ(a.ChangeFormat(r[0], r[1], 2, r[2]), 0) << r[0] << " " << r[1] << " " << r[2];
    EXPECT_TRUE(a.GetCapture()->IsOpen());

    // The same driver type keeps the drivers; another replaces them.
    a.Shutdown();
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    EXPECT_EQ(rig.m_Factory.m_CaptureCount, 1);
    a.Shutdown();
    rig.m_Params.m_DriverType = 0;
    ASSERT_TRUE(a.Initialize(&rig.m_Log));
    EXPECT_EQ(rig.m_Factory.m_CaptureCount, 2);
}

TEST_F(EngineControl, ShutdownWhileRecordingKeepsTheTake) {
    ASSERT_TRUE(StartTake());
    rig.Deliver(4800);
    a.Shutdown();
    EXPECT_EQ(a.GetRecordState(), REC_STOP);
    EXPECT_EQ(a.GetBlocksInFlight(), 0);
    ExpectTake(CountingFrames({{0, 4800}}));
}

// ---------------------------------------------------------------- the listener's window side

namespace {
class ClockedLog : public PostLog {
  public:
    using PostLog::PostLog;
    uint32_t Now() override { return m_Now; }
    uint32_t m_Now = 5000;
};
} // namespace

TEST(EngineListener, RecordDataPostsTimeAndLevelEvery200ms) {
    ClockedLog log(nullptr);
    const int16_t loud[] = {-16384, -32768, 100}; // the most negative value is not a peak
    const int16_t quiet[] = {1000, 0};
    log.OnRecordData(loud, sizeof loud);
    EXPECT_EQ(log.Count(WM_REC_TIME), 1);
    EXPECT_EQ(log.Count(WM_LEVEL_UPDATE), 1);
    EXPECT_EQ(log.GetPeak(), 16384);
    log.m_Now += 199;
    log.OnRecordData(quiet, sizeof quiet);
    EXPECT_EQ(log.Count(WM_REC_TIME), 1); // not yet due
    EXPECT_EQ(log.GetPeak(), 16384 * 80 / 100 + 1000 * 20 / 100);
    log.m_Now += 1;
    log.OnRecordData(quiet, sizeof quiet);
    EXPECT_EQ(log.Count(WM_REC_TIME), 2);
    EXPECT_EQ(log.Count(WM_LEVEL_UPDATE), 2);
    EXPECT_EQ(log.Params(WM_REC_TIME)[1].first, 0u); // not recording
    // The meter decays only after two silent timer ticks, by a quarter each.
    int16_t peak = log.GetPeak();
    EXPECT_FALSE(log.OnMeterTimer());
    EXPECT_TRUE(log.OnMeterTimer());
    EXPECT_EQ(log.GetPeak(), peak >> 2);
    log.OnRecordData(quiet, sizeof quiet); // data resets the counter
    EXPECT_FALSE(log.OnMeterTimer());
}

TEST(EngineListener, PlayDelayCountdown) {
    EngineRig rig;
    CAudioControl& a = rig.m_Audio;
    a.m_PlayFrequency = 48000;
    a.m_bPlaying = 1;
    ClockedLog log(&a);
    log.StartDelayCountdown(2);
    // The renderer plays 0.5 s per call; a post is due every 300 ms.
    const uint32_t half = 48000 * 4 / 2;
    for (int i = 0; i < 6; ++i, log.m_Now += 300)
        log.OnPlayData(nullptr, half);
    std::vector<intptr_t> left;
    for (auto [wParam, seconds] : log.Params(WM_PLAY_POS))
        left.push_back(seconds);
    EXPECT_EQ(left, (std::vector<intptr_t>{1, 1, 0, 0, 0, 0})); // 1.5 s, 1 s, 0.5 s, 0 ...
    a.m_bPlaying = 0;
    log.OnPlayData(nullptr, half);
    EXPECT_EQ(log.Count(WM_PLAY_POS), 6);
    log.OnPlayEnd();
    EXPECT_EQ(log.Count(WM_PLAY_END), 1);
}
