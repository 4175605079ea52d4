// The MME drivers on real devices: under Wine, the test bed's PulseAudio null
// sink "LineOut" and its monitor (the WASAPI tests use "Speakers", so the two
// never hear each other). Skipped when the test bed is not running.
#include "drivers/mme/CMMECapture.h"
#include "drivers/mme/CMMERenderer.h"
#include "drivers/test/CToneAnalyzer.h"
#include "tests/win/WinTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wintest;

namespace {

using Mme = DriverPair<CMMECapture, CMMERenderer>;

#define REQUIRE_TESTBED(capture, render)                                                                     \
    int32_t capture = CMMECapture().FindDevice(L"Monitor of LineOut", L"", 0);                               \
    int32_t render = CMMERenderer().FindDevice(L"LineOut", L"");                                             \
    if (capture < 0 || render < 0) GTEST_SKIP() << "the test bed's null sink \"LineOut\" is not here"

TEST(MmeDevices, ListsFindAndSelect) {
    REQUIRE_TESTBED(capIndex, renIndex);
    Mme p(nullptr);
    auto& [capture, render] = p;
    int captureCount = capture.EnumDevice(0, nullptr), renderCount = render.EnumDevice(0, nullptr);
    EXPECT_GE(captureCount, 2); // the monitors of both null sinks
    EXPECT_GE(renderCount, 2);
    AudioDeviceInfo info;
    EXPECT_EQ(capture.EnumDevice(capIndex, &info), captureCount);
    EXPECT_STREQ(info.szName, L"Monitor of LineOut");
    EXPECT_STREQ(info.szEndpointId, L"");
    EXPECT_GE(info.wChannels, 1);
    EXPECT_EQ(render.EnumDevice(renIndex, &info), renderCount);
    EXPECT_STREQ(info.szName, L"LineOut");
    EXPECT_EQ(render.FindDevice(L"LineOut", L"ignored"), renIndex); // MME compares names only
    EXPECT_EQ(render.FindDevice(L"lineout", L""), -1);
    EXPECT_EQ(capture.FindDevice(L"No Such Device", L"", 0), -1);
    EXPECT_EQ(capture.FindDevice(L"Monitor of LineOut", L"", 1), -1); // MME has no loopback
    EXPECT_EQ(capture.CanLoopback() + capture.IsFloat(), 0);

    const std::tuple<int32_t, int, int32_t> steps[] = {
        {capIndex, 1, capIndex}, {captureCount, 0, capIndex}, {-2, 0, capIndex}, {-1, 1, -1}};
    for (const auto& [index, result, stored] : steps) {
        EXPECT_EQ(capture.SelectDevice(index), result) << index;
        EXPECT_EQ(capture.GetDeviceIndex(), stored) << index;
    }
    EXPECT_EQ(render.SelectDevice(renderCount), 0);
    EXPECT_EQ(render.SelectDevice(-1), 1);
    EXPECT_EQ(render.GetDeviceIndex(), -1);
    EXPECT_EQ(capture.GetDeviceInfo(nullptr), 0);
    EXPECT_EQ(capture.GetDeviceInfo(&info), 1); // the wave mapper
}

TEST(MmeDrivers, BlockSizesFollowTheFormat) {
    REQUIRE_TESTBED(capIndex, renIndex);
    const std::tuple<int, int, int, uint32_t, uint32_t> cases[] = {
        {1, 8000, 10, 532, 160},     // (8000 / 30) * 2 ; 8 * 2 * 10
        {2, 44100, 10, 5880, 1760},  // 1470 * 4 ; 44 * 4 * 10
        {2, 48000, 50, 6400, 9600},  // 1600 * 4 ; 48 * 4 * 50
        {1, 22050, 100, 1470, 4400}, // 735 * 2 ; 22 * 2 * 100
    };
    for (const auto& [channels, rate, latency, captureBlock, renderBlock] : cases) {
        SCOPED_TRACE(rate);
        Mme p(nullptr, capIndex, renIndex);
        auto& [capture, render] = p;
        ASSERT_EQ(capture.Open(channels, rate, 16, latency), 1);
        ASSERT_EQ(render.Open(channels, rate, 16, latency), 1);
        EXPECT_EQ(capture.GetBlockSize(), captureBlock);
        EXPECT_EQ(render.GetBlockSize(), renderBlock);
        EXPECT_EQ(FormatOf(*capture.GetFormat()), Fmt(1, channels, rate, 16, 2 * channels));
        EXPECT_EQ(capture.GetFormat()->cbSize, 0);
        EXPECT_EQ(capture.GetElapsedSeconds(), 0u);
        // Open twice without Close: refused, nothing changes.
        EXPECT_EQ(capture.Open(2, 96000, 16, latency) + render.Open(2, 96000, 16, latency), 0);
        EXPECT_EQ(capture.GetFormat()->nSamplesPerSec, static_cast<uint32_t>(rate));
        capture.Close();
        render.Close();
        EXPECT_EQ(capture.IsOpen() + render.IsOpen(), 0);
    }
}

TEST(MmeDrivers, ToneRoundTripThroughTheNullSink) {
    REQUIRE_TESTBED(capIndex, renIndex);
    SinkLock lock;
    // Real-time audio through Wine and PulseAudio can glitch when the machine is
    // busy; the stream's structure is checked on every attempt, the tone on the
    // best of three.
    ToneStats last{};
    for (int attempt = 0; attempt < 3; ++attempt) {
        RecordingListener listener;
        listener.m_ToneHz = 1000.0;
        listener.m_ToneAmplitude = 8192.0; // -12.04 dB against full scale
        Mme p(&listener, capIndex, renIndex);
        auto& [capture, render] = p;
        ASSERT_EQ(capture.Open(2, 48000, 16, 50), 1);
        ASSERT_EQ(render.Open(2, 48000, 16, 50), 1);
        ASSERT_EQ(capture.Start(), 1);
        EXPECT_EQ(capture.Start(), 1); // already running
        ASSERT_EQ(render.Start(), 1);
        EXPECT_EQ(render.IsStarted(), 1);
        ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 60; }, 8000)); // two seconds of blocks
        EXPECT_EQ(capture.Stop() + render.Stop(), 2);
        EXPECT_EQ(capture.IsStarted(), 0);

        std::vector<uint32_t> in = listener.InSizes();
        for (uint32_t s : in)
            ASSERT_EQ(s, 6400u);
        for (uint32_t s : listener.OutAsked())
            ASSERT_EQ(s, 9600u);
        // A stopped capture delivers nothing more, so the counter is exact.
        plat::SleepMs(100);
        EXPECT_EQ(listener.InSizes().size(), in.size());
        EXPECT_EQ(capture.GetElapsedSeconds(), in.size() * 1600 / 48000);

        std::vector<int16_t> s = listener.FirstChannel(4);
        ToneStats stats = CToneAnalyzer::Analyze(s, 48000, s.size() / 2, s.size());
        last = stats;
        if (std::abs(stats.frequency - 1000.0) <= 10.0 && std::abs(stats.levelDbfs - (-12.04)) <= 1.5) break;
    }
    EXPECT_NEAR(last.frequency, 1000.0, 10.0);
    EXPECT_NEAR(last.levelDbfs, -12.04, 1.5);
}

TEST(MmeRenderer, EmptyBlocksEndTheStreamUntilTheNextStart) {
    REQUIRE_TESTBED(capIndex, renIndex);
    RecordingListener listener;
    listener.m_OutNothing = true;
    CMMERenderer render;
    render.Init(&listener);
    render.SelectDevice(renIndex);
    ASSERT_EQ(render.Open(2, 44100, 16, 20), 1);
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_Ends >= 2; }, 3000));
    plat::SleepMs(200);
    EXPECT_EQ(listener.m_Ends.load(), 2);
    EXPECT_EQ(listener.m_OutCalls.load(), 2); // asked once per header, never again
    // Start writes both headers once more.
    listener.m_OutNothing = false;
    render.Stop();
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_OutCalls >= 6; }, 3000));
}

TEST(MmeRenderer, StopLeavesTheHeadersIdleAndVolumeNeedsADevice) {
    REQUIRE_TESTBED(capIndex, renIndex);
    RecordingListener listener;
    CMMERenderer render;
    render.Init(&listener);
    uint16_t left = 0, right = 0;
    EXPECT_EQ(render.GetVolume(&left, &right) + render.SetVolume(0x8000, 0x4000) + render.Stop(), 0);
    render.SelectDevice(renIndex);
    ASSERT_EQ(render.Open(2, 48000, 16, 20), 1);
    ASSERT_EQ(render.SetVolume(0x8000, 0x4000), 1);
    ASSERT_EQ(render.GetVolume(&left, &right), 1);
    EXPECT_NEAR(left, 0x8000, 0x100);
    EXPECT_NEAR(right, 0x4000, 0x100);
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_OutCalls >= 8; }, 3000));
    ASSERT_EQ(render.Stop(), 1);
    plat::SleepMs(50);
    int calls = listener.m_OutCalls.load();
    plat::SleepMs(300); // fifteen block lengths
    EXPECT_EQ(listener.m_OutCalls.load(), calls);
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_OutCalls >= calls + 6; }, 3000));
    render.Close();
    EXPECT_EQ(render.GetVolume(&left, &right), 0);
}

TEST(MmeCapture, ListenerResultOneClosesTheDriver) {
    REQUIRE_TESTBED(capIndex, renIndex);
    RecordingListener listener;
    listener.m_InResult = 1;
    CMMECapture capture;
    capture.Init(&listener);
    EXPECT_EQ(capture.Stop(), 0); // not open
    capture.SelectDevice(capIndex);
    ASSERT_EQ(capture.Open(1, 16000, 16, 10), 1);
    ASSERT_EQ(capture.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return capture.IsOpen() == 0; }, 3000));
    EXPECT_EQ(listener.m_InCalls.load(), 1);
    EXPECT_EQ(capture.IsStarted(), 0);
    // Closed for good: it opens again.
    listener.m_InResult = 0;
    ASSERT_EQ(capture.Open(1, 16000, 16, 10), 1);
    ASSERT_EQ(capture.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 3; }, 3000));
}

TEST(MmeDrivers, QuickCyclesCloseCleanly) {
    REQUIRE_TESTBED(capIndex, renIndex);
    QuickCycles<CMMECapture, CMMERenderer>(capIndex, renIndex);
}

} // namespace
