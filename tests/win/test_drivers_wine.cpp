// Both driver families on real devices, built by the factory the engine uses:
// under Wine, the test bed's PulseAudio null sinks and their monitors (MME on
// "LineOut", WASAPI on "Speakers", so the two never hear each other). Wine
// refuses exclusive mode, so WASAPI runs its shared-mode fallback here; default
// endpoints and loopback (which Wine refuses at GetService) are the COM fake's
// open table. Skipped when the test bed is not running.
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CToneAnalyzer.h"
#include "tests/win/WinTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>

using namespace wintest;

namespace {

struct Family {
    const char* name;
    int type;
    const wchar_t* sink;
    const wchar_t* monitor;
};
const Family kFamilies[] = {{"MME", CWinDriverFactory::DRIVER_TYPE_MME, L"LineOut", L"Monitor of LineOut"},
                            {"WASAPI", 0, L"Speakers", L"Monitor of Speakers"}};

template <class Driver> int32_t ByName(Driver& driver, const wchar_t* name, AudioDeviceInfo& info) {
    for (int i = 0, count = driver.EnumDevice(0, nullptr); i < count; ++i)
        if (driver.EnumDevice(i, &info) && std::wcscmp(info.szName, name) == 0) return i;
    return -1;
}

// A capture and a render driver of one family on the listener, and the test
// bed's devices for it.
struct Pair {
    std::unique_ptr<CCaptureDriver> capture;
    std::unique_ptr<CRenderDriver> render;
    int32_t capIndex = -1, renIndex = -1;
    AudioDeviceInfo capInfo{}, renInfo{};

    Pair(const Family& f, CSoundListener* listener, bool select = true) {
        CWinDriverFactory factory;
        capture.reset(factory.CreateCapture(f.type));
        render.reset(factory.CreateRender(f.type));
        capture->Init(listener);
        render->Init(listener);
        capIndex = ByName(*capture, f.monitor, capInfo);
        renIndex = ByName(*render, f.sink, renInfo);
        if (select && Ready()) capture->SelectDevice(capIndex), render->SelectDevice(renIndex);
    }
    bool Ready() const { return capIndex >= 0 && renIndex >= 0; }
    bool IsMme() const { return dynamic_cast<CMMECapture*>(capture.get()) != nullptr; }
};

#define FOR_EACH_FAMILY_ON_THE_TESTBED(pair, listener, ...)                                                  \
    for (const Family& family : kFamilies)                                                                   \
        if (Pair pair(family, listener, ##__VA_ARGS__); !pair.Ready())                                       \
            GTEST_SKIP() << "the test bed's null sink is not here";                                          \
        else if (SCOPED_TRACE(family.name); true)

// A 1 kHz tone at -12.04 dBFS played into `family`'s sink and recorded from its
// monitor for `seconds`, measured from a second in (the tone is there by then);
// `streamed` looks at the running pair before it closes. Real-time audio under
// Wine glitches on a busy machine now and then (docs/drivers.md): up to three
// attempts for an unbroken tone at its frequency and level, and how many missed
// is reported.
template <class Listener = RecordingListener>
ToneStats RoundTrip(const Family& family, int seconds,
                    const std::function<void(Pair&, std::type_identity_t<Listener>&)>& streamed = nullptr) {
    ToneStats last{};
    int glitched = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Listener listener;
        listener.m_ToneHz = 1000.0;
        listener.m_ToneAmplitude = 8192.0;
        Pair p(family, &listener);
        EXPECT_EQ(p.capture->Open(2, 48000, 16, 50) + p.render->Open(2, 48000, 16, 50), 2);
        EXPECT_EQ(p.capture->Start() + p.capture->Start() + p.render->Start(), 3); // twice: running
        EXPECT_TRUE(WaitFor([&] { return listener.m_InBytes >= 4u * 48000 * seconds; }, 8000));
        if (streamed) streamed(p, listener);
        p.capture->Close();
        p.render->Close();
        const std::vector<uint8_t> in = listener.In();
        std::vector<int16_t> left(in.size() / 4);
        for (size_t i = 0; i < left.size(); ++i)
            std::memcpy(&left[i], &in[i * 4], 2);
        last = CToneAnalyzer::Analyze(left, 48000, 48000, left.size());
        if (last.dropouts == 0 && std::abs(last.frequency - 1000.0) <= 10.0 &&
            std::abs(last.levelDbfs + 12.04) <= 1.5)
            break;
        ++glitched;
    }
    testing::Test::RecordProperty(std::string(family.name) + "_glitched_attempts", glitched);
    return last;
}

// The factory's driver pair for each family; device lists, lookups and
// selection: MME compares names only and has no loopback; WASAPI compares name
// and id and lists render endpoints as loopback sources from 1000 on. An index
// out of range leaves the selection.
TEST(WinDrivers, ListsFindAndSelect) {
    FOR_EACH_FAMILY_ON_THE_TESTBED(p, nullptr, false) {
        CCaptureDriver& capture = *p.capture;
        CRenderDriver& render = *p.render;
        const bool mme = family.type == CWinDriverFactory::DRIVER_TYPE_MME;
        EXPECT_EQ(!dynamic_cast<CWASAPICapture*>(&capture) + !dynamic_cast<CWASAPIRenderer*>(&render),
                  mme ? 2 : 0);
        int captureCount = capture.EnumDevice(0, nullptr), renderCount = render.EnumDevice(0, nullptr);
        EXPECT_GE(captureCount, 2); // the monitors of both null sinks
        EXPECT_GE(renderCount, 2);
        EXPECT_EQ(std::wcslen(p.renInfo.szEndpointId) > 0, !mme);
        EXPECT_EQ(render.FindDevice(p.renInfo.szName, mme ? L"ignored" : p.renInfo.szEndpointId), p.renIndex);
        EXPECT_EQ(render.FindDevice(mme ? L"lineout" : p.renInfo.szName, L"{other}"), -1);
        EXPECT_EQ(capture.FindDevice(p.capInfo.szName, p.capInfo.szEndpointId, 0), p.capIndex);
        EXPECT_EQ(capture.FindDevice(p.capInfo.szName, p.capInfo.szEndpointId, 1), -1);
        EXPECT_EQ(capture.FindDevice(p.renInfo.szName, p.renInfo.szEndpointId, 1),
                  mme ? -1 : LOOPBACK_INDEX_BASE + p.renIndex);
        EXPECT_EQ(capture.CanLoopback(), mme ? 0 : 1);
        EXPECT_EQ(capture.EnumDevice(LOOPBACK_INDEX_BASE, nullptr), mme ? captureCount : renderCount);

        const std::tuple<int32_t, int, int32_t> steps[] = {
            {p.capIndex, 1, p.capIndex}, {captureCount, 0, p.capIndex}, {-2, 0, p.capIndex}, {-1, 1, -1}};
        for (const auto& [index, result, stored] : steps) {
            EXPECT_EQ(capture.SelectDevice(index), result) << index;
            EXPECT_EQ(capture.GetDeviceIndex(), stored) << index;
        }
        EXPECT_EQ(render.SelectDevice(renderCount), 0);
        EXPECT_EQ(render.SelectDevice(-1), 1);
        EXPECT_EQ(render.GetDeviceIndex(), mme ? -1 : 0); // WASAPI stores the default's position
        EXPECT_EQ(capture.GetDeviceInfo(nullptr), 0);
    }
}

// Formats and block sizes, a second Open refused without change, quick
// Start/Stop/Start/Close cycles (the engine's pattern when the user flips
// switches: a thread left behind hangs or fails the next Open), and streaming
// again afterwards. MME: 1/30 s capture blocks, `latency` ms render blocks;
// WASAPI (shared): the format asked for.
TEST(WinDrivers, OpenFormatsBlockSizesAndQuickCycles) {
    const std::tuple<int, int, int, uint32_t, uint32_t> cases[] = {
        {1, 8000, 10, 532, 160},    // (8000 / 30) * 2 ; 8 * 2 * 10
        {2, 44100, 10, 5880, 1760}, // 1470 * 4 ; 44 * 4 * 10
        {2, 48000, 50, 6400, 9600}, // 1600 * 4 ; 48 * 4 * 50
    };
    SinkLock lock;
    RecordingListener listener;
    FOR_EACH_FAMILY_ON_THE_TESTBED(p, &listener) {
        for (const auto& [channels, rate, latency, captureBlock, renderBlock] : cases) {
            SCOPED_TRACE(rate);
            ASSERT_EQ(p.capture->Open(channels, rate, 16, latency) +
                          p.render->Open(channels, rate, 16, latency),
                      2);
            if (p.IsMme()) {
                EXPECT_EQ(std::pair(p.capture->GetBlockSize(), p.render->GetBlockSize()),
                          std::pair(captureBlock, renderBlock));
            }
            EXPECT_TRUE(p.IsMme() || (static_cast<CWASAPICapture&>(*p.capture).IsSharedMode() &&
                                      static_cast<CWASAPIRenderer&>(*p.render).IsSharedMode()));
            EXPECT_EQ(FormatOf(*p.capture->GetFormat()), Fmt(1, channels, rate, 16, 2 * channels));
            EXPECT_EQ(FormatOf(*p.render->GetFormat()), Fmt(1, channels, rate, 16, 2 * channels));
            EXPECT_EQ(p.capture->GetElapsedSeconds(), 0u);
            EXPECT_EQ(p.capture->Open(2, 96000, 16, latency) + p.render->Open(2, 96000, 16, latency), 0);
            EXPECT_EQ(p.capture->GetFormat()->nSamplesPerSec, static_cast<uint32_t>(rate));
            ASSERT_EQ(p.capture->Start() + p.render->Start(), 2);
            plat::SleepMs(latency);
            EXPECT_EQ(p.capture->Stop() + p.render->Stop() + p.capture->Start() + p.render->Start(), 4);
            p.capture->Close();
            p.render->Close();
            EXPECT_EQ(p.capture->IsOpen() + p.render->IsOpen() + p.capture->IsStarted(), 0);
        }
        int in = listener.m_InCalls.load(), out = listener.m_OutCalls.load();
        ASSERT_EQ(p.capture->Open(2, 44100, 16, 20) + p.render->Open(2, 44100, 16, 20), 2);
        ASSERT_EQ(p.capture->Start() + p.render->Start(), 2);
        EXPECT_TRUE(
            WaitFor([&] { return listener.m_InCalls >= in + 6 && listener.m_OutCalls >= out + 6; }, 10000));
        p.capture->Close();
        p.render->Close();
    }
}

// A tone played into the sink comes back from its monitor at its frequency and
// level, in whole frames, with an exact elapsed counter.
TEST(WinDrivers, ToneRoundTripThroughTheNullSink) {
    SinkLock lock;
    FOR_EACH_FAMILY_ON_THE_TESTBED(probe, nullptr, false) {
        const ToneStats tone = RoundTrip(family, 2, [&](Pair& p, RecordingListener& listener) {
            EXPECT_EQ(p.capture->Stop() + p.render->Stop(), 2);
            EXPECT_EQ(p.capture->IsStarted(), 0);
            plat::SleepMs(100); // a stopped capture delivers nothing more
            uint64_t frames = 0;
            for (uint32_t s : listener.InSizes()) {
                EXPECT_TRUE(s % 4 == 0 && (!p.IsMme() || s == 6400u)) << s;
                frames += s / 4;
            }
            EXPECT_EQ(p.capture->GetElapsedSeconds(), frames / 48000);
            for (uint32_t s : listener.OutAsked())
                EXPECT_TRUE(s % 4 == 0 && s <= 9600u) << s;
        });
        EXPECT_NEAR(tone.frequency, 1000.0, 10.0);
        EXPECT_NEAR(tone.levelDbfs, -12.04, 1.5);
    }
}

// MME only: a render listener with nothing ends the stream (OnSoundEnd once per
// header, never asked again) until the next Start; a stopped renderer asks
// nothing; the volume needs an open device; a capture listener answering 1
// closes the capture driver from its own thread, and it opens again.
TEST(MmeDrivers, EndOfStreamStopVolumeAndSelfClose) {
    RecordingListener listener;
    Pair p(kFamilies[0], &listener);
    if (!p.Ready()) GTEST_SKIP() << "the test bed's null sink is not here";
    CRenderDriver& render = *p.render;
    uint16_t left = 0, right = 0;
    EXPECT_EQ(render.GetVolume(&left, &right) + render.SetVolume(0x8000, 0x4000) + render.Stop(), 0);
    listener.m_OutNothing = true;
    ASSERT_EQ(render.Open(2, 48000, 16, 20), 1);
    ASSERT_EQ(render.Start(), 1);
    ASSERT_TRUE(WaitFor([&] { return listener.m_Ends >= 2; }, 10000));
    plat::SleepMs(200);
    EXPECT_EQ(listener.m_Ends.load(), 2);
    EXPECT_EQ(listener.m_OutCalls.load(), 2); // asked once per header, never again
    listener.m_OutNothing = false;
    ASSERT_EQ(render.Stop() + render.Start(), 2);
    ASSERT_TRUE(WaitFor([&] { return listener.m_OutCalls >= 8; }, 10000));
    ASSERT_EQ(render.SetVolume(0x8000, 0x4000) + render.GetVolume(&left, &right), 2);
    EXPECT_NEAR(left, 0x8000, 0x100);
    EXPECT_NEAR(right, 0x4000, 0x100);
    ASSERT_EQ(render.Stop(), 1);
    plat::SleepMs(50);
    int calls = listener.m_OutCalls.load();
    plat::SleepMs(300); // fifteen block lengths
    EXPECT_EQ(listener.m_OutCalls.load(), calls);
    render.Close();
    EXPECT_EQ(render.GetVolume(&left, &right), 0);

    listener.m_InResult = 1;
    ASSERT_EQ(p.capture->Open(1, 16000, 16, 10) + p.capture->Start(), 2);
    ASSERT_TRUE(WaitFor([&] { return p.capture->IsOpen() == 0; }, 10000));
    EXPECT_EQ(listener.m_InCalls.load(), 1);
    EXPECT_EQ(p.capture->IsStarted(), 0);
    listener.m_InResult = 0;
    ASSERT_EQ(p.capture->Open(1, 16000, 16, 10) + p.capture->Start(), 2);
    ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 3; }, 10000));
}

// A capture worker that wakes late (a busy machine) must not cost audio: the
// device goes on recording into the headers still queued. One listener call
// takes 300 ms (at 1.3 s); the tone captured around it has to stay unbroken.
TEST(MmeDrivers, CaptureRidesOutALateWorker) {
    struct LateListener : RecordingListener {
        int32_t OnSoundIn(const void* data, uint32_t bytes) override {
            if (++m_Blocks == 40) plat::SleepMs(300);
            return RecordingListener::OnSoundIn(data, bytes);
        }
        int m_Blocks = 0;
    };
    SinkLock lock;
    if (!Pair(kFamilies[0], nullptr, false).Ready()) GTEST_SKIP() << "the test bed's null sink is not here";
    const ToneStats tone = RoundTrip<LateListener>(kFamilies[0], 3);
    EXPECT_EQ(tone.dropouts, 0);
    EXPECT_NEAR(tone.levelDbfs, -12.04, 1.5);
}

} // namespace
