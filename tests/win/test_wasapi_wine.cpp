// The WASAPI drivers on real devices: under Wine, the test bed's PulseAudio
// null sink "Speakers" and its monitor. Wine refuses exclusive mode, so these
// run the shared-mode fallback; loopback is refused by Wine's capture service.
#include "drivers/test/CToneAnalyzer.h"
#include "drivers/wasapi/CWASAPICapture.h"
#include "drivers/wasapi/CWASAPIRenderer.h"
#include "tests/win/ToneListener.h"
#include "tests/win/WinTestUtil.h"

#include <gtest/gtest.h>

using wintest::RecordingListener;
using wintest::SinkLock;
using wintest::ToneListener;
using wintest::TraceLog;
using wintest::WaitFor;

namespace {

// Position of the endpoint with this name in a driver's list (base 0 or 1000), or -1.
template <class Driver>
int32_t ByName(Driver& driver, const wchar_t* name, int32_t base, AudioDeviceInfo* found = nullptr) {
    AudioDeviceInfo info;
    int count = driver.EnumDevice(base, nullptr);
    for (int i = 0; i < count; ++i) {
        driver.EnumDevice(base + i, &info);
        if (std::wcscmp(info.szName, name) == 0) {
            if (found) *found = info;
            return base + i;
        }
    }
    return -1;
}

#define REQUIRE_TESTBED(capture, render)                                                                     \
    int32_t capture, render;                                                                                 \
    {                                                                                                        \
        CWASAPICapture c;                                                                                    \
        CWASAPIRenderer r;                                                                                   \
        capture = ByName(c, L"Monitor of Speakers", 0);                                                      \
        render = ByName(r, L"Speakers", 0);                                                                  \
    }                                                                                                        \
    if (capture < 0 || render < 0) GTEST_SKIP() << "the test bed's null sink \"Speakers\" is not here"

TEST(WasapiDevices, ListsFindAndSelect) {
    REQUIRE_TESTBED(capIndex, renIndex);
    CWASAPICapture capture;
    CWASAPIRenderer render;
    capture.Init(nullptr);
    render.Init(nullptr);
    int captureCount = capture.EnumDevice(0, nullptr);
    int renderCount = render.EnumDevice(0, nullptr);
    EXPECT_EQ(capture.EnumDevice(LOOPBACK_INDEX_BASE, nullptr), renderCount);
    AudioDeviceInfo info;
    ASSERT_EQ(render.EnumDevice(renIndex, &info), renderCount);
    EXPECT_STREQ(info.szName, L"Speakers");
    EXPECT_GT(std::wcslen(info.szEndpointId), 0u);
    EXPECT_EQ(info.wMid, 0);
    EXPECT_EQ(info.dwFormats, 0u);
    // By name and id; the right name with another id is not the device.
    EXPECT_EQ(render.FindDevice(info.szName, info.szEndpointId), renIndex);
    EXPECT_EQ(capture.FindDevice(info.szName, info.szEndpointId, 1), LOOPBACK_INDEX_BASE + renIndex);
    std::wstring otherId = std::wstring(info.szEndpointId) + L"x";
    EXPECT_EQ(render.FindDevice(info.szName, otherId.c_str()), -1);
    ASSERT_EQ(capture.EnumDevice(capIndex, &info), captureCount);
    EXPECT_STREQ(info.szName, L"Monitor of Speakers");
    EXPECT_EQ(capture.FindDevice(info.szName, info.szEndpointId, 0), capIndex);
    EXPECT_EQ(capture.FindDevice(info.szName, info.szEndpointId, 1), -1);

    EXPECT_EQ(capture.SelectDevice(captureCount), 0);
    EXPECT_EQ(capture.SelectDevice(LOOPBACK_INDEX_BASE + renderCount), 0);
    EXPECT_EQ(capture.GetDeviceIndex(), -1);
    EXPECT_EQ(capture.SelectDevice(LOOPBACK_INDEX_BASE + renIndex), 1);
    EXPECT_EQ(capture.IsLoopback(), 1);
    EXPECT_EQ(capture.CanLoopback(), 1);
    EXPECT_EQ(render.SelectDevice(-1), 1);
    EXPECT_EQ(render.GetDeviceIndex(), 0);
    EXPECT_EQ(render.SelectDevice(renderCount), 0);
    EXPECT_EQ(render.GetDeviceIndex(), 0);
}

TEST(WasapiDrivers, DefaultDevicesOpenAndRefuseASecondOpen) {
    REQUIRE_TESTBED(capIndex, renIndex);
    CWASAPICapture capture;
    CWASAPIRenderer render;
    capture.Init(nullptr);
    render.Init(nullptr);
    ASSERT_EQ(capture.Open(1, 44100, 16, 20), 1); // index -1: the default capture endpoint
    ASSERT_EQ(render.Open(2, 44100, 16, 20), 1);  // never selected: the default render endpoint
    EXPECT_EQ(capture.IsOpen(), 1);
    EXPECT_EQ(capture.Open(1, 44100, 16, 20), 0);
    EXPECT_EQ(render.Open(2, 44100, 16, 20), 0);
    // Wine refuses exclusive mode: the streams run shared, in the format asked for.
    EXPECT_TRUE(capture.IsSharedMode());
    EXPECT_TRUE(render.IsSharedMode());
    EXPECT_EQ(capture.GetFormat()->wFormatTag, 1);
    EXPECT_EQ(capture.GetFormat()->nChannels, 1);
    EXPECT_EQ(capture.GetFormat()->nSamplesPerSec, 44100u);
    EXPECT_EQ(render.GetFormat()->wBitsPerSample, 16);
    EXPECT_EQ(render.SetVolume(1, 1), 0);
    capture.Close();
    render.Close();
    EXPECT_EQ(capture.IsOpen(), 0);
    EXPECT_EQ(render.IsOpen(), 0);
    EXPECT_EQ(capture.Open(2, 48000, 16, 20), 1); // closed, so it opens again
    capture.Close();
}

TEST(WasapiDrivers, ToneRoundTripThroughTheNullSink) {
    REQUIRE_TESTBED(capIndex, renIndex);
    SinkLock lock;
    const int rate = 48000;
    ToneListener listener(440.0, 16384.0, rate); // -6.02 dB
    CWASAPICapture capture;
    CWASAPIRenderer render;
    capture.Init(&listener);
    render.Init(&listener);
    ASSERT_EQ(capture.SelectDevice(capIndex), 1);
    ASSERT_EQ(render.SelectDevice(renIndex), 1);
    ASSERT_EQ(capture.Open(2, rate, 16, 20), 1);
    ASSERT_EQ(render.Open(2, rate, 16, 20), 1);
    listener.SetFormats(*capture.GetFormat(), *render.GetFormat());
    ASSERT_EQ(capture.Start(), 1);
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.In().size() >= 2u * rate; }, 8000));
    EXPECT_EQ(capture.Stop(), 1);
    EXPECT_EQ(render.Stop(), 1);

    // Whole frames in every block; the elapsed counter is the sum of the packets.
    uint64_t frames = 0;
    for (uint32_t s : listener.InSizes()) {
        ASSERT_EQ(s % 4, 0u);
        frames += s / 4;
    }
    EXPECT_EQ(capture.GetElapsedSeconds(), frames / rate);
    const uint32_t bufferBytes = render.GetBufferFrames() * 4;
    for (uint32_t s : listener.OutSizes()) {
        ASSERT_EQ(s % 4, 0u);
        ASSERT_LE(s, bufferBytes);
    }
    std::vector<int16_t> s = listener.In();
    ToneStats stats = CToneAnalyzer::Analyze(s, rate, s.size() / 2, s.size());
    EXPECT_NEAR(stats.frequency, 440.0, 4.4);
    EXPECT_NEAR(stats.levelDbfs, -6.02, 1.0);
    capture.Close();
    render.Close();
}

TEST(WasapiCapture, WineRefusesLoopbackCleanly) {
    REQUIRE_TESTBED(capIndex, renIndex);
    TraceLog trace;
    CWASAPICapture capture;
    capture.Init(nullptr);
    ASSERT_EQ(capture.SelectDevice(LOOPBACK_INDEX_BASE + renIndex), 1);
    int opened = capture.Open(2, 48000, 16, 50);
    if (opened) {
        // A Wine that does loopback: it must then report the mix format.
        EXPECT_EQ(capture.GetLatency(), 100);
        EXPECT_NE(capture.GetFormat()->nSamplesPerSec, 0u);
        capture.Close();
        GTEST_SKIP() << "this Wine supports loopback capture";
    }
    EXPECT_TRUE(trace.Has("Unable to get new capture client: AUDCLNT_E_WRONG_ENDPOINT_TYPE(88890003)\n"));
    EXPECT_EQ(capture.IsOpen(), 0);
    ASSERT_EQ(capture.SelectDevice(capIndex), 1);
    EXPECT_EQ(capture.Open(2, 48000, 16, 50), 1);
    capture.Close();
}

} // namespace

namespace {

TEST(WasapiDrivers, QuickCyclesCloseCleanly) {
    REQUIRE_TESTBED(capIndex, renIndex);
    SinkLock lock;
    RecordingListener listener;
    listener.m_Keep = false;
    CWASAPICapture capture;
    CWASAPIRenderer render;
    capture.Init(&listener);
    render.Init(&listener);
    capture.SelectDevice(capIndex);
    render.SelectDevice(renIndex);
    for (int cycle = 0; cycle < 5; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(capture.Open(2, 44100, 16, 20), 1);
        ASSERT_EQ(render.Open(2, 44100, 16, 20), 1);
        ASSERT_EQ(capture.Start(), 1);
        ASSERT_EQ(render.Start(), 1);
        plat::SleepMs(40 * cycle);
        EXPECT_EQ(capture.Stop(), 1);
        EXPECT_EQ(render.Stop(), 1);
        ASSERT_EQ(capture.Start(), 1);
        ASSERT_EQ(render.Start(), 1);
        capture.Close();
        render.Close();
        EXPECT_EQ(capture.IsOpen(), 0);
        EXPECT_EQ(render.IsOpen(), 0);
    }
    int before = listener.m_InCalls.load();
    ASSERT_EQ(capture.Open(2, 44100, 16, 20), 1);
    ASSERT_EQ(capture.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return listener.m_InCalls.load() >= before + 6; }, 3000));
    capture.Close();
}

} // namespace
