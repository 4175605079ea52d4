// The WASAPI drivers against the in-process COM fake, for what Wine cannot
// reach: exclusive streams, loopback, refusals, calls that fail, and devices
// that go wrong while streaming. Every case ends with every COM object released.
#include "drivers/wasapi/CWASAPICapture.h"
#include "drivers/wasapi/CWASAPIRenderer.h"
#include "tests/win/FakeWasapi.h"
#include "tests/win/WinTestUtil.h"

using namespace wintest;

namespace {

template <class Driver> Driver& Wire(Driver& driver, FakeSystem& fake, CSoundListener* listener) {
    driver.SetEnumeratorFactory([&fake](IMMDeviceEnumerator** out) { return fake.CreateEnumerator(out); });
    driver.Init(listener);
    return driver;
}

// Runs `body` on a fresh driver wired to `fake`, then checks nothing is left.
template <class Driver, class Body> void With(FakeSystem& fake, CSoundListener* listener, Body body) {
    {
        Driver driver;
        body(Wire(driver, fake, listener));
    }
    EXPECT_EQ(fake.LiveObjects(), 0);
}
template <class Body> void WithEither(bool render, FakeSystem& fake, CSoundListener* listener, Body body) {
    render ? With<CWASAPIRenderer>(fake, listener, body) : With<CWASAPICapture>(fake, listener, body);
}

// Open on systems that refuse, misalign or fail: the mode and buffer duration
// the driver ends with, how many clients it activated (a fallback or aligned
// retry takes a fresh one), and a failed Open that keeps nothing and can be
// retried at once.
TEST(WasapiFake, OpenRefusalsRetriesAndFailingCalls) {
    constexpr bool R = true, C = false;
    constexpr int FAILS = 0, EXCLUSIVE = 1, SHARED = 2;
    constexpr HRESULT kNoMode = AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED, kInUse = AUDCLNT_E_DEVICE_IN_USE,
                      kFormat = AUDCLNT_E_UNSUPPORTED_FORMAT;
    // Render or capture, device, latency; what an exclusive Initialize and
    // IsFormatSupported answer, the frames an aligned buffer needs, the call
    // that fails after so many successes; the mode it opens in, the buffer
    // duration and the clients activated.
    const std::tuple<bool, int32_t, int, HRESULT, HRESULT, UINT32, const char*, int, int, REFERENCE_TIME, int>
        cases[] = {
            {C, 1, 5, S_OK, S_OK, 0, nullptr, 0, EXCLUSIVE, 50000, 1},    // above the 3 ms minimum
            {C, 1, 3, S_OK, S_OK, 0, nullptr, 0, EXCLUSIVE, 100000, 1},   // not above it: the default period
            {C, 1, 10, S_OK, S_OK, 449, nullptr, 0, EXCLUSIVE, 93542, 2}, // 1e7 * 449 / 48000, rounded
            {R, 1, 10, S_OK, S_OK, 449, nullptr, 0, EXCLUSIVE, 93542, 2},
            {C, 1, 20, kNoMode, S_OK, 0, nullptr, 0, SHARED, 200000, 2},
            {C, -1, 20, kFormat, S_OK, 0, nullptr, 0, SHARED, 200000, 2},
            {C, 0, 20, kInUse, S_OK, 0, nullptr, 0, SHARED, 200000, 2},
            {R, 1, 50, S_OK, kFormat, 0, nullptr, 0, SHARED, 500000, 2}, // refused before Initialize
            {R, 1, 50, S_OK, kNoMode, 0, nullptr, 0, SHARED, 500000, 2},
            {R, -1, 50, kInUse, S_OK, 0, nullptr, 0, SHARED, 500000, 2},
            {C, 1001, 50, S_OK, S_OK, 0, nullptr, 0, SHARED, 1000000, 1}, // loopback: at least 100 ms
            {C, 1001, 150, S_OK, S_OK, 0, "GetStreamLatency", 0, SHARED, 1500000, 1}, // not fatal
            // Any other failure fails Open, without a shared retry.
            {R, 1, 10, S_OK, S_OK, 0, "Initialize", 0, FAILS, 0, 1},
            {R, 1, 10, S_OK, E_INVALIDARG, 0, nullptr, 0, FAILS, 0, 1},
            {C, 1, 10, S_OK, S_OK, 0, "CoCreateInstance", 0, FAILS, 0, 0},
            {C, 1, 10, S_OK, S_OK, 0, "EnumAudioEndpoints", 0, FAILS, 0, 0},
            {R, 1, 10, S_OK, S_OK, 0, "Item", 0, FAILS, 0, 0},
            {C, -1, 10, S_OK, S_OK, 0, "GetDefaultAudioEndpoint", 0, FAILS, 0, 0},
            {C, 1, 10, S_OK, S_OK, 0, "Activate", 0, FAILS, 0, 1},
            {R, 1, 10, S_OK, S_OK, 448, "Activate", 1, FAILS, 0, 2},  // the aligned retry's
            {C, 1, 10, kNoMode, S_OK, 0, "Activate", 1, FAILS, 0, 2}, // the fallback's
            {C, 1, 10, S_OK, S_OK, 0, "GetDevicePeriod", 0, FAILS, 0, 1},
            {C, 1, 10, kNoMode, S_OK, 0, "Initialize", 1, FAILS, 0, 2}, // the shared one
            {R, 1, 10, S_OK, S_OK, 0, "GetBufferSize", 0, FAILS, 0, 1},
            {C, 1, 10, S_OK, S_OK, 0, "SetEventHandle", 0, FAILS, 0, 1},
            {R, 1, 10, S_OK, S_OK, 0, "GetService", 0, FAILS, 0, 1},
            {C, 1001, 10, S_OK, S_OK, 0, "GetMixFormat", 0, FAILS, 0, 1},
            {R, 1, 10, S_OK, S_OK, 0, "GetMixFormat", 0, FAILS, 0, 1},
            {C, 1001, 10, S_OK, S_OK, 0, "GetService", 0, FAILS, 0, 1},
        };
    for (const auto& [render, device, latency, refusal, formatAnswer, aligned, fail, after, mode, duration,
                      activations] : cases) {
        SCOPED_TRACE(testing::Message()
                     << render << " " << device << " " << latency << " " << (fail ? fail : ""));
        FakeSystem fake;
        fake.exclusiveRefusal = refusal;
        fake.exclusiveFormatAnswer = formatAnswer;
        fake.alignedFrames = aligned;
        WithEither(render, fake, nullptr, [&](auto& driver) {
            ASSERT_EQ(driver.SelectDevice(device), 1);
            if (fail) fake.Fail(fail, E_OUTOFMEMORY, after);
            EXPECT_EQ(driver.Open(2, 48000, 16, latency), mode != FAILS);
            EXPECT_EQ(fake.Calls("Activate"), activations);
            EXPECT_TRUE(!fail || fake.Calls(fail) > after); // the failing call met, not skipped
            if (mode != FAILS) {
                EXPECT_EQ(driver.IsSharedMode(), mode == SHARED);
                EXPECT_EQ(driver.GetBufferDuration(), duration);
                EXPECT_EQ(FormatOf(*driver.GetFormat()), device >= LOOPBACK_INDEX_BASE // the mix format
                                                             ? Fmt(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32, 8)
                                                             : Fmt(1, 2, 48000, 16, 4));
                return;
            }
            EXPECT_EQ(driver.IsOpen() + fake.LiveObjects(), 0);
            if (fail) fake.Fail(fail, S_OK);
            fake.exclusiveRefusal = fake.exclusiveFormatAnswer = S_OK;
            fake.alignedFrames = 0;
            EXPECT_EQ(driver.Open(2, 48000, 16, latency), 1);
        });
    }
}

// Two packets behind each event, and packet 5 follows one the device lost:
// every wake reads until the device is empty (else the thread falls a packet
// further behind at each event until the buffer overflows), the lost packet
// reaches the listener as silence of its length and counts as one glitch. The
// same for a shared fallback and for a polled loopback source.
TEST(WasapiFake, CaptureDrainsEachWakeAndFillsLossWithSilence) {
    for (auto [device, refusal] :
         {std::pair{1, S_OK}, {1, AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED}, {1001, S_OK}}) {
        SCOPED_TRACE(testing::Message() << device << " " << refusal);
        FakeSystem fake;
        fake.exclusiveRefusal = refusal;
        fake.packetsPerEvent = 2;
        fake.lostBeforePacket = 5;
        RecordingListener listener;
        size_t packetBytes = 0, packetFrames = 0;
        With<CWASAPICapture>(fake, &listener, [&](CWASAPICapture& capture) {
            ASSERT_EQ(capture.SelectDevice(device) + capture.Open(2, 48000, 16, 10), 2);
            packetFrames = capture.GetFormat()->nSamplesPerSec / 100;
            packetBytes = packetFrames * capture.GetFormat()->nBlockAlign;
            ASSERT_EQ(capture.Start(), 1);
            ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 40; }, 5000));
            EXPECT_LE(fake.captureBacklog.load(), device < LOOPBACK_INDEX_BASE ? 6 : 50);
            EXPECT_EQ(capture.Stop(), 1);
            EXPECT_EQ(capture.GetGlitchCount(), 1);
            EXPECT_EQ(fake.capturedFrames + packetFrames,
                      listener.In().size() / capture.GetFormat()->nBlockAlign);
        });
        // Every packet arrived, in order, whole; the lost one is silence.
        std::vector<uint8_t> in = listener.In();
        size_t bad = 0;
        for (size_t i = 0; i < in.size(); ++i) {
            const size_t packet = i / packetBytes;
            bad += in[i] != (packet == 4 ? 0 : static_cast<uint8_t>(packet * packetFrames + i % packetBytes));
        }
        EXPECT_EQ(bad, 0u);
    }
}

// Exclusive: the first fill (in Start) asks for the whole buffer and queues
// only whole frames of what the listener gave. Shared without a listener: the
// device gets silence, and each refill that finds nothing queued is an
// underrun, the first fill not.
TEST(WasapiFake, RendererQueuesWholeFramesAndCountsSharedUnderruns) {
    for (bool shared : {false, true}) {
        FakeSystem fake;
        fake.exclusiveRefusal = shared ? AUDCLNT_E_DEVICE_IN_USE : S_OK;
        RecordingListener listener;
        listener.m_OutShort = 2; // half a stereo frame short
        With<CWASAPIRenderer>(fake, shared ? nullptr : &listener, [&](CWASAPIRenderer& render) {
            ASSERT_EQ(render.Open(2, 48000, 16, 10) + render.Start(), 2);
            ASSERT_TRUE(WaitFor([&] { return fake.renderReleases >= 4; }, 3000));
            render.Stop();
            EXPECT_EQ(render.GetUnderrunCount(), shared ? fake.renderReleases - 1 : 0);
            EXPECT_EQ(fake.silentReleases.load(), shared ? fake.renderReleases.load() : 0);
        });
        const std::vector<uint32_t> asked = listener.OutAsked();
        EXPECT_EQ(asked.empty() ? 0u : asked[0], shared ? 0u : 1920u);   // the whole buffer
        EXPECT_EQ(fake.firstReleaseFrames.load(), shared ? 480u : 479u); // (1920 - 2) / 4
    }
}

// A client that will not start, a capture device that vanishes mid-stream
// (read once, then only Stop or Close is waited for) and a render buffer that
// fails in the thread: the driver stays usable and closes without a hang.
TEST(WasapiFake, StreamFailuresEndTheThreadNotTheDriver) {
    FakeSystem starts;
    With<CWASAPICapture>(starts, nullptr, [&](CWASAPICapture& capture) {
        ASSERT_EQ(capture.Open(2, 48000, 16, 10), 1);
        starts.Fail("Start", AUDCLNT_E_NOT_STOPPED);
        EXPECT_EQ(capture.Start() + capture.IsStarted(), 0);
        capture.Close(); // the waiting thread is woken and joined
        EXPECT_EQ(capture.IsOpen(), 0);
    });
    for (const char* call : {"IAudioCaptureClient::GetBuffer", "IAudioRenderClient::GetBuffer"}) {
        SCOPED_TRACE(call);
        const bool render = call[6] == 'R';
        FakeSystem fake;
        fake.Fail(call, AUDCLNT_E_DEVICE_INVALIDATED, render ? 1 : 0); // the first fill is Start's
        RecordingListener listener;
        WithEither(render, fake, &listener, [&](auto& driver) {
            ASSERT_EQ(driver.Open(2, 48000, 16, 10) + driver.Start(), 2);
            ASSERT_TRUE(WaitFor([&] { return fake.Calls(call) > (render ? 1 : 0); }, 2000));
            plat::SleepMs(100); // ten more packets signalled
            EXPECT_EQ(fake.Calls(call), render ? 2 : 1);
            EXPECT_EQ(listener.m_InCalls.load(), 0);
            EXPECT_EQ(driver.IsStarted(), 1); // running without a thread until Stop or Close
            EXPECT_EQ(driver.Stop(), 1);
        });
    }
}

// Start and Stop again and again, then Init on an open, running driver: each
// run gets a fresh thread, a stopped one delivers nothing, and nothing is left.
TEST(WasapiFake, RestartsAndInitCloses) {
    FakeSystem fake;
    RecordingListener listener;
    With<CWASAPICapture>(fake, &listener, [&](CWASAPICapture& capture) {
        CWASAPIRenderer render;
        ASSERT_EQ(capture.Open(2, 48000, 16, 10) + Wire(render, fake, &listener).Open(2, 48000, 16, 10), 2);
        for (int round = 0; round < 3; ++round) {
            const int in = listener.m_InCalls, out = listener.m_OutCalls;
            ASSERT_EQ(capture.Start() + capture.Start() + render.Start(), 3); // twice: already running
            ASSERT_TRUE(WaitFor(
                [&] { return listener.m_InCalls >= in + 3 && listener.m_OutCalls >= out + 3; }, 3000));
            EXPECT_EQ(capture.Stop() + render.Stop(), 2);
            EXPECT_EQ(capture.IsStarted() + render.IsStarted(), 0);
            const int calls = listener.m_InCalls + listener.m_OutCalls;
            plat::SleepMs(60);
            EXPECT_EQ(listener.m_InCalls + listener.m_OutCalls, calls) << round;
        }
        ASSERT_EQ(capture.Start(), 1);
        EXPECT_EQ(capture.Init(&listener) + render.Init(&listener), 0); // closes the stream first
        EXPECT_EQ(capture.IsOpen() + capture.IsStarted() + render.IsOpen(), 0);
    });
}

// A name that is not text, no capture endpoint at all, and an enumerator that
// cannot be made.
TEST(WasapiFake, UnusualDeviceLists) {
    FakeSystem fake, empty;
    fake.capture[1].textName = false;
    empty.capture.clear();
    With<CWASAPICapture>(fake, nullptr, [&](CWASAPICapture& capture) {
        AudioDeviceInfo info;
        EXPECT_EQ(capture.EnumDevice(1, &info), 2);
        EXPECT_STREQ(info.szName, L"Unknown ({cap-1})");
        EXPECT_EQ(capture.FindDevice(L"Unknown ({cap-1})", L"{cap-1}", 0), 1);
        ASSERT_EQ(capture.SelectDevice(1001), 1);
        fake.Fail("CoCreateInstance", E_OUTOFMEMORY); // the selection stays
        EXPECT_EQ(capture.SelectDevice(1), 1);
        EXPECT_EQ(capture.GetDeviceIndex(), 1001);
        EXPECT_EQ(capture.EnumDevice(0, &info), 0);
        EXPECT_EQ(capture.FindDevice(L"Mic", L"{cap-0}", 0), -1);
    });
    With<CWASAPICapture>(empty, nullptr, [&](CWASAPICapture& none) {
        EXPECT_EQ(none.SelectDevice(-1) + none.Open(2, 48000, 16, 10), 0);
        EXPECT_EQ(none.GetDeviceIndex(), -1);
    });
}

} // namespace
