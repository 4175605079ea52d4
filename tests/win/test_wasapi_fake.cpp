// The WASAPI drivers against the in-process COM fake: the logic real Windows
// exercises and Wine cannot (exclusive mode, loopback, non-aligned buffers,
// float mix formats, failing calls).
#include "drivers/wasapi/CWASAPICapture.h"
#include "drivers/wasapi/CWASAPIRenderer.h"
#include "tests/win/FakeWasapi.h"
#include "tests/win/WinTestUtil.h"

#include <gtest/gtest.h>
#include <ksmedia.h>

using namespace wintest;

namespace {

constexpr DWORD kExclusiveFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
constexpr DWORD kFallbackFlags =
    kExclusiveFlags | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;
constexpr int kExclusive = AUDCLNT_SHAREMODE_EXCLUSIVE, kShared = AUDCLNT_SHAREMODE_SHARED;

// What one Initialize asked for: mode, flags, duration, periodicity.
using Asked = std::tuple<int, DWORD, REFERENCE_TIME, REFERENCE_TIME>;
Asked AskedOf(const FakeInitCall& c) {
    return {c.mode, c.flags, c.duration, c.periodicity};
}

template <class Driver> Driver& Wire(Driver& driver, FakeSystem& fake, CSoundListener* listener) {
    driver.SetEnumeratorFactory([&fake](IMMDeviceEnumerator** out) { return fake.CreateEnumerator(out); });
    driver.Init(listener);
    return driver;
}

// Runs `body` on a fresh driver wired to `fake`; once the driver is gone,
// every fake object must have been released.
template <class Driver, class Body> void With(FakeSystem& fake, CSoundListener* listener, Body body) {
    {
        Driver driver;
        body(Wire(driver, fake, listener));
    }
    EXPECT_EQ(fake.LiveObjects(), 0);
}

// The lookup's edges: first and last entry, a gap, one past the end, a generic code.
TEST(WasapiErrorName, KnownAndUnknownCodes) {
    const std::tuple<uint32_t, const char*> cases[] = {
        {0x88890001u, "AUDCLNT_E_NOT_INITIALIZED"},
        {0x88890020u, "AUDCLNT_E_INVALID_DEVICE_PERIOD"},
        {0x8007000Eu, "E_OUTOFMEMORY"},
        {0x8889000Du, "UNKNOWN ERROR"},
        {0x88890021u, "UNKNOWN ERROR"},
        {0x80004005u, "UNKNOWN ERROR"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_STREQ(ErrorName(static_cast<HRESULT>(code)), name) << std::hex << code;
}

// ---------------------------------------------------------------- capture endpoint (exclusive)

TEST(WasapiCaptureFake, EndpointDurationFormatAndTask) {
    const std::tuple<int, REFERENCE_TIME, const wchar_t*> cases[] = {
        {5, 50000, L"Pro Audio"},  // 5 ms is above the 3 ms minimum
        {2, 100000, L"Pro Audio"}, // below the minimum: the default period
        {3, 100000, L"Pro Audio"}, // equal to the minimum is not above it
        {10, 100000, L"Audio"},    {50, 500000, L"Audio"},
    };
    for (const auto& [latency, expected, task] : cases) {
        SCOPED_TRACE(latency);
        FakeSystem fake;
        With<CWASAPICapture>(fake, nullptr, [&](CWASAPICapture& capture) {
            ASSERT_EQ(capture.SelectDevice(1), 1);
            ASSERT_EQ(capture.Open(2, 48000, 16, latency), 1);
            EXPECT_EQ(capture.Open(2, 48000, 16, latency), 0); // already open
            auto inits = fake.Inits();
            ASSERT_EQ(inits.size(), 1u);
            EXPECT_EQ(AskedOf(inits[0]), Asked(kExclusive, kExclusiveFlags, expected, expected));
            // The requested format, as an extensible PCM record with front left/right.
            EXPECT_TRUE(inits[0].extensible && IsEqualGUID(inits[0].subFormat, KSDATAFORMAT_SUBTYPE_PCM));
            EXPECT_EQ(FormatOf(inits[0].format), Fmt(WAVE_FORMAT_EXTENSIBLE, 2, 48000, 16, 4));
            EXPECT_EQ(inits[0].format.cbSize, 22);
            EXPECT_EQ(inits[0].format.nAvgBytesPerSec, 192000u);
            EXPECT_EQ(inits[0].channelMask, 3u);
            EXPECT_FALSE(capture.IsSharedMode());
            EXPECT_EQ(FormatOf(*capture.GetFormat()), Fmt(1, 2, 48000, 16, 4));
            EXPECT_EQ(capture.GetFormat()->cbSize, 22);
            ASSERT_EQ(capture.Start(), 1);
            ASSERT_TRUE(WaitFor([&] { return capture.GetSchedulerTask() != nullptr; }, 2000));
            EXPECT_STREQ(capture.GetSchedulerTask(), task);
            EXPECT_EQ(capture.GetPollPeriod(), latency);
        });
    }
}

// Two packets behind each event, and packet 5 follows one the device lost:
// every wake reads until the device is empty (else the thread falls a packet
// further behind each event until the buffer overflows), and the lost packet
// reaches the listener as silence of its length, counted once.
TEST(WasapiCaptureFake, ReadsEveryPacketOfAWakeAndFillsLossWithSilence) {
    for (HRESULT refusal : {S_OK, AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED}) {
        SCOPED_TRACE(refusal);
        FakeSystem fake;
        fake.exclusiveRefusal = refusal;
        fake.packetsPerEvent = 2;
        fake.lostBeforePacket = 5;
        RecordingListener listener;
        With<CWASAPICapture>(fake, &listener, [&](CWASAPICapture& capture) {
            ASSERT_EQ(capture.Open(2, 48000, 16, 10), 1);
            EXPECT_EQ(capture.IsSharedMode(), refusal != S_OK);
            EXPECT_EQ(capture.GetElapsedSeconds(), 0u); // rate known, no frames yet
            ASSERT_EQ(capture.Start(), 1);
            ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 40; }, 5000));
            EXPECT_LE(fake.captureBacklog.load(), 6);
            EXPECT_EQ(capture.Stop(), 1);
            EXPECT_EQ(capture.GetGlitchCount(), 1);
            EXPECT_EQ(fake.CapturedFramesHandedOut() + 480, listener.In().size() / 4);
            capture.ResetPosition();
            EXPECT_EQ(capture.GetElapsedSeconds(), 0u);
        });
        // One fake packet is 10 ms (480 frames of 4 bytes) whose byte i is (i & 0xFF):
        // every packet arrived, in order, copied whole; the lost one is silence.
        std::vector<uint8_t> in = listener.In();
        size_t bad = 0;
        for (size_t i = 0; i < in.size(); ++i) {
            size_t block = i / 1920;
            uint8_t expected = block == 4 ? 0 : static_cast<uint8_t>(block * 480 + i % 1920);
            if (in[i] != expected) ++bad;
        }
        EXPECT_EQ(bad, 0u);
    }
}

// Both drivers: the refused client is given back, a new one activated, and
// Initialize asked again with the duration of the frames the device named.
TEST(WasapiFake, NonAlignedBufferIsRetriedWithAlignedDuration) {
    auto check = [](FakeSystem& fake) {
        return [&fake](auto& driver) {
            ASSERT_EQ(driver.Open(2, 48000, 16, 10), 1);
            auto inits = fake.Inits();
            ASSERT_EQ(inits.size(), 2u);
            EXPECT_EQ(inits[0].result, AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED);
            // 10 000 000 * 449 / 48000 = 93541.67, rounded
            EXPECT_EQ(AskedOf(inits[1]), Asked(kExclusive, kExclusiveFlags, 93542, 93542));
            EXPECT_EQ(driver.GetBufferFrames(), 449u);
            EXPECT_EQ(fake.Calls("IMMDevice::Activate"), 2);
        };
    };
    FakeSystem forCapture, forRender;
    forCapture.alignedFrames = forRender.alignedFrames = 449;
    With<CWASAPICapture>(forCapture, nullptr, check(forCapture));
    With<CWASAPIRenderer>(forRender, nullptr, check(forRender));
}

// ---------------------------------------------------------------- loopback (shared, polled)

TEST(WasapiCaptureFake, LoopbackDurationPollAndFormat) {
    const std::tuple<int, bool, REFERENCE_TIME, int, int, int, int> cases[] = {
        {50, true, 1000000, 50, 3, 32, 8},     // raised to 100 ms, polled every 50 ms
        {1000, true, 10000000, 200, 3, 32, 8}, // poll capped at 200 ms
        {150, false, 1500000, 75, 1, 16, 4},   // a 16-bit PCM mix stays tag 1
    };
    for (const auto& [latency, floatMix, duration, poll, tag, bits, align] : cases) {
        SCOPED_TRACE(latency);
        FakeSystem fake;
        fake.render[1].floatMix = floatMix;
        RecordingListener listener;
        With<CWASAPICapture>(fake, &listener, [&](CWASAPICapture& capture) {
            ASSERT_EQ(capture.SelectDevice(1001), 1);
            EXPECT_EQ(capture.IsLoopback(), 1);
            // The channels, rate and bits asked for are not used: the mix format is.
            ASSERT_EQ(capture.Open(1, 8000, 8, latency), 1);
            auto inits = fake.Inits();
            ASSERT_EQ(inits.size(), 1u);
            EXPECT_EQ(AskedOf(inits[0]), Asked(kShared, AUDCLNT_STREAMFLAGS_LOOPBACK, duration, 0));
            EXPECT_EQ(FormatOf(*capture.GetFormat()), Fmt(tag, 2, 44100, bits, align));
            EXPECT_EQ(capture.IsFloat(), tag == 3 ? 1 : 0);
            ASSERT_EQ(capture.Start(), 1);
            // No event in loopback: the thread's poll collects the packets.
            ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 3; }, 3000));
            EXPECT_STREQ(capture.GetSchedulerTask(), L"Audio");
            EXPECT_EQ(capture.GetPollPeriod(), poll);
            capture.Stop();
            for (uint32_t s : listener.InSizes())
                EXPECT_EQ(s, 441u * align);
        });
    }
}

// ---------------------------------------------------------------- device lists

// Index rules (capture 0..n-1, loopback sources 1000 + render position, -1 the
// default; the renderer stores the default as its first endpoint), names and
// ids (a name that is not text reads "Unknown (<id>)"), lookups by exact name
// and id, an empty list, and an enumerator that cannot be made.
TEST(WasapiFake, DeviceListsAndIndexRules) {
    FakeSystem fake; // two capture, two render endpoints
    fake.capture[1].textName = false;
    CWASAPICapture capture;
    CWASAPIRenderer render;
    Wire(capture, fake, nullptr);
    Wire(render, fake, nullptr);
    const std::tuple<int32_t, int, int32_t> steps[] = {
        {1001, 1, 1001}, {1003, 0, 1001}, {1002, 0, 1001}, {1, 1, 1},
        {2, 0, 1},       {-1, 1, -1},     {1000, 1, 1000}, {-2, 0, 1000},
    };
    for (const auto& [index, result, stored] : steps) {
        EXPECT_EQ(capture.SelectDevice(index), result) << index;
        EXPECT_EQ(capture.GetDeviceIndex(), stored) << index;
    }
    EXPECT_EQ(render.SelectDevice(-1) + render.SelectDevice(1), 2);
    EXPECT_EQ(render.SelectDevice(2) + render.SelectDevice(1000), 0);
    EXPECT_EQ(render.GetDeviceIndex(), 1);

    AudioDeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    const std::tuple<int32_t, const wchar_t*, const wchar_t*> listed[] = {
        {0, L"Mic", L"{cap-0}"}, {1, L"Unknown ({cap-1})", L"{cap-1}"}, {1001, L"Headphones", L"{ren-1}"}};
    for (const auto& [index, name, id] : listed) {
        EXPECT_EQ(capture.EnumDevice(index, &info), 2);
        EXPECT_STREQ(info.szName, name);
        EXPECT_STREQ(info.szEndpointId, id);
        EXPECT_EQ(info.wMid + info.dwFormats + info.bLoopback, 0u);
    }
    EXPECT_EQ(render.EnumDevice(-1, &info), 2);
    EXPECT_STREQ(info.szName, L"Speakers");

    const std::tuple<const wchar_t*, const wchar_t*, int, int32_t> finds[] = {
        {L"Mic", L"{cap-0}", 0, 0},
        {L"Mic", L"{cap-1}", 0, -1}, // right name, other id
        {L"mic", L"{cap-0}", 0, -1}, // case matters
        {L"Unknown ({cap-1})", L"{cap-1}", 0, 1},
        {L"Headphones", L"{ren-1}", 1, 1001},
        {L"Headphones", L"{ren-1}", 0, -1},
        {L"Nothing", L"", 0, -1},
    };
    for (const auto& [name, id, loopback, expected] : finds)
        EXPECT_EQ(capture.FindDevice(name, id, loopback), expected);
    EXPECT_EQ(render.FindDevice(L"Headphones", L"{ren-1}"), 1);
    EXPECT_EQ(render.FindDevice(L"Headphones", L"{ren-0}"), -1);

    FakeSystem empty;
    empty.capture.clear();
    CWASAPICapture none;
    EXPECT_EQ(Wire(none, empty, nullptr).SelectDevice(-1), 0);
    EXPECT_EQ(none.GetDeviceIndex(), -1);
    // An enumerator that cannot be created leaves the index and answers 1.
    fake.Fail("CoCreateInstance", E_OUTOFMEMORY);
    EXPECT_EQ(capture.SelectDevice(1), 1);
    EXPECT_EQ(capture.GetDeviceIndex(), 1000);
    EXPECT_EQ(fake.LiveObjects(), 0);
}

// ---------------------------------------------------------------- renderer (exclusive)

// 16-bit PCM at the requested rate whatever was asked (a float mix here), and
// only whole frames of what the listener gave are queued.
TEST(WasapiRendererFake, QueuesOnlyWholeFramesOfWhatTheListenerGave) {
    FakeSystem fake;
    RecordingListener listener;
    listener.m_OutShort = 2; // half a stereo frame short
    With<CWASAPIRenderer>(fake, &listener, [&](CWASAPIRenderer& render) {
        ASSERT_EQ(render.Open(2, 48000, 24, 10), 1);
        EXPECT_EQ(FormatOf(*render.GetFormat()), Fmt(1, 2, 48000, 16, 4));
        auto inits = fake.Inits();
        ASSERT_EQ(inits.size(), 1u);
        EXPECT_EQ(AskedOf(inits[0]), Asked(kExclusive, kExclusiveFlags, 100000, 100000));
        EXPECT_TRUE(IsEqualGUID(inits[0].subFormat, KSDATAFORMAT_SUBTYPE_PCM));
        EXPECT_EQ(render.GetBufferFrames(), 480u);
        ASSERT_EQ(render.Start(), 1); // the first fill happens in Start
        ASSERT_TRUE(WaitFor([&] { return fake.RenderReleases().size() >= 3; }, 3000));
    });
    auto asked = listener.OutAsked();
    ASSERT_GE(asked.size(), 3u);
    EXPECT_EQ(asked[0], 1920u);                // the whole device buffer
    EXPECT_EQ(fake.RenderReleases()[0], 479u); // (1920 - 2) / 4
    // The queued bytes are the listener's, frame-truncated block by block.
    std::vector<uint8_t> rendered = fake.Rendered();
    ASSERT_GE(rendered.size(), 2u * 1916u);
    EXPECT_EQ(rendered[0], 1);
    EXPECT_EQ(rendered[1915], static_cast<uint8_t>(1916));
    EXPECT_EQ(rendered[1916], static_cast<uint8_t>(1918 + 1)); // the next block starts after the 1918 given
}

// Without a listener the device gets silence; a shared refill that finds
// nothing queued counts as an underrun, the first fill in Start does not.
TEST(WasapiRendererFake, SilenceWithoutListenerAndSharedUnderruns) {
    FakeSystem fake;
    fake.exclusiveRefusal = AUDCLNT_E_DEVICE_IN_USE;
    With<CWASAPIRenderer>(fake, nullptr, [&](CWASAPIRenderer& render) {
        ASSERT_EQ(render.Open(1, 44100, 16, 20), 1);
        ASSERT_EQ(render.Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return fake.RenderReleases().size() >= 4; }, 3000));
        render.Stop();
        EXPECT_EQ(render.GetUnderrunCount(), static_cast<int>(fake.RenderReleases().size()) - 1);
    });
    EXPECT_EQ(fake.RenderReleases()[0], 882u); // 20 ms at 44100
    std::vector<uint8_t> rendered = fake.Rendered();
    EXPECT_EQ(std::count(rendered.begin(), rendered.end(), 0), static_cast<long>(rendered.size()));
}

// ---------------------------------------------------------------- shared-mode fallback

TEST(WasapiFallback, CaptureEndpointFallsBackToSharedOnRefusal) {
    for (HRESULT refusal :
         {AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED, AUDCLNT_E_UNSUPPORTED_FORMAT, AUDCLNT_E_DEVICE_IN_USE}) {
        SCOPED_TRACE(ErrorName(refusal));
        FakeSystem fake;
        fake.exclusiveRefusal = refusal;
        RecordingListener listener;
        With<CWASAPICapture>(fake, &listener, [&](CWASAPICapture& capture) {
            ASSERT_EQ(capture.Open(1, 32000, 16, 20), 1);
            EXPECT_TRUE(capture.IsSharedMode());
            auto inits = fake.Inits();
            ASSERT_EQ(inits.size(), 2u);
            EXPECT_EQ(inits[0].mode, kExclusive);
            EXPECT_EQ(AskedOf(inits[1]), Asked(kShared, kFallbackFlags, 200000, 0));
            EXPECT_FALSE(inits[1].extensible);
            EXPECT_EQ(FormatOf(inits[1].format), Fmt(1, 1, 32000, 16, 2));
            // What the listener receives: the requested 16-bit format.
            EXPECT_EQ(FormatOf(*capture.GetFormat()), Fmt(1, 1, 32000, 16, 2));
            EXPECT_EQ(capture.IsFloat(), 0);
            ASSERT_EQ(capture.Start(), 1);
            ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= 3; }, 3000));
        });
        for (uint32_t s : listener.InSizes())
            EXPECT_EQ(s, 640u); // 10 ms of 32 kHz mono
    }
}

TEST(WasapiFallback, RendererFallsBackToSharedOnRefusal) {
    const std::tuple<HRESULT, HRESULT, size_t> cases[] = {
        {AUDCLNT_E_UNSUPPORTED_FORMAT, S_OK, 0},
        {AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED, S_OK, 0},
        {S_OK, AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED, 1},
        {S_OK, AUDCLNT_E_DEVICE_IN_USE, 1},
    };
    for (const auto& [formatAnswer, initAnswer, exclusiveInits] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << formatAnswer << " " << initAnswer);
        FakeSystem fake;
        fake.exclusiveFormatAnswer = formatAnswer;
        fake.exclusiveRefusal = initAnswer;
        fake.renderPadding = 160;
        RecordingListener listener;
        With<CWASAPIRenderer>(fake, &listener, [&](CWASAPIRenderer& render) {
            ASSERT_EQ(render.Open(2, 48000, 16, 50), 1);
            EXPECT_TRUE(render.IsSharedMode());
            auto inits = fake.Inits();
            ASSERT_EQ(inits.size(), exclusiveInits + 1);
            EXPECT_EQ(AskedOf(inits.back()), Asked(kShared, kFallbackFlags, 500000, 0));
            EXPECT_EQ(FormatOf(inits.back().format), Fmt(WAVE_FORMAT_PCM, 2, 48000, 16, 4));
            EXPECT_EQ(FormatOf(*render.GetFormat()), Fmt(1, 2, 48000, 16, 4));
            ASSERT_EQ(render.GetBufferFrames(), 2400u);
            ASSERT_EQ(render.Start(), 1);
        });
        // Shared: only the part the device has played is asked for.
        auto asked = listener.OutAsked();
        ASSERT_GE(asked.size(), 1u);
        EXPECT_EQ(asked[0], (2400u - 160u) * 4u);
    }
}

// Any other failure of the exclusive Initialize fails Open: no shared retry.
TEST(WasapiFallback, OtherFailuresDoNotFallBack) {
    FakeSystem fake;
    fake.exclusiveRefusal = AUDCLNT_E_ENDPOINT_CREATE_FAILED;
    With<CWASAPICapture>(fake, nullptr, [](auto& capture) { EXPECT_EQ(capture.Open(2, 48000, 16, 10), 0); });
    With<CWASAPIRenderer>(fake, nullptr, [](auto& render) { EXPECT_EQ(render.Open(2, 48000, 16, 10), 0); });
    EXPECT_EQ(fake.Inits().size(), 2u);
}

// ---------------------------------------------------------------- every failure path releases

TEST(WasapiFake, EveryFailingCallFailsOpenCleanly) {
    constexpr bool R = true, C = false; // renderer, capture
    // Which driver, device, failing call and code, after how many successes,
    // and whether Open still succeeds (a failed latency query is not fatal).
    const std::tuple<bool, int32_t, const char*, HRESULT, int, int> cases[] = {
        {C, 1, "CoCreateInstance", E_OUTOFMEMORY, 0, 0},
        {C, 1, "IMMDeviceEnumerator::EnumAudioEndpoints", E_OUTOFMEMORY, 0, 0},
        {C, 1, "IMMDeviceCollection::GetCount", E_POINTER, 0, 0},
        {C, 1, "IMMDeviceCollection::Item", E_INVALIDARG, 0, 0},
        {C, -1, "IMMDeviceEnumerator::GetDefaultAudioEndpoint", E_OUTOFMEMORY, 0, 0},
        {C, 1, "IMMDevice::Activate", E_OUTOFMEMORY, 0, 0},
        {C, 1, "IMMDevice::Activate", E_OUTOFMEMORY, 1, 0},
        {C, 1, "IAudioClient::GetDevicePeriod", AUDCLNT_E_DEVICE_INVALIDATED, 0, 0},
        {C, 1, "IAudioClient::Initialize", AUDCLNT_E_CPUUSAGE_EXCEEDED, 0, 0},
        {C, 1, "IAudioClient::GetBufferSize", AUDCLNT_E_NOT_INITIALIZED, 0, 0},
        {C, 1, "IAudioClient::SetEventHandle", AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED, 0, 0},
        {C, 1, "IAudioClient::GetService", E_NOINTERFACE, 0, 0},
        {C, 1001, "IAudioClient::GetMixFormat", E_OUTOFMEMORY, 0, 0},
        {C, 1001, "IAudioClient::Initialize", AUDCLNT_E_WRONG_ENDPOINT_TYPE, 0, 0},
        {C, 1001, "IAudioClient::GetStreamLatency", AUDCLNT_E_NOT_INITIALIZED, 0, 1},
        {C, 1001, "IAudioClient::GetService", AUDCLNT_E_WRONG_ENDPOINT_TYPE, 0, 0},
        {R, 1, "IMMDeviceCollection::Item", E_INVALIDARG, 0, 0},
        {R, -1, "IMMDeviceEnumerator::GetDefaultAudioEndpoint", E_OUTOFMEMORY, 0, 0},
        {R, 1, "IMMDevice::Activate", E_OUTOFMEMORY, 0, 0},
        {R, 1, "IMMDevice::Activate", E_OUTOFMEMORY, 1, 0},
        {R, 1, "IAudioClient::GetMixFormat", E_OUTOFMEMORY, 0, 0},
        {R, 1, "IAudioClient::IsFormatSupported", E_INVALIDARG, 0, 0},
        {R, 1, "IAudioClient::Initialize", AUDCLNT_E_BUFFER_TOO_LARGE, 0, 0},
        {R, 1, "IAudioClient::GetBufferSize", AUDCLNT_E_NOT_INITIALIZED, 0, 0},
        {R, 1, "IAudioClient::SetEventHandle", E_INVALIDARG, 0, 0},
        {R, 1, "IAudioClient::GetService", AUDCLNT_E_WRONG_ENDPOINT_TYPE, 0, 0},
    };
    for (const auto& [isRender, index, call, hr, after, opened] : cases) {
        SCOPED_TRACE(testing::Message()
                     << (isRender ? "render " : "capture ") << index << " " << call << " after " << after);
        FakeSystem fake;
        // A second Activate happens on the retry after a non-aligned buffer.
        fake.alignedFrames = after == 1 ? 448 : 0;
        auto run = [&](auto& driver) {
            ASSERT_TRUE(index == DEFAULT_DEVICE_INDEX || driver.SelectDevice(index));
            fake.Fail(call, hr, after);
            EXPECT_EQ(driver.Open(2, 48000, 16, 10), opened);
            EXPECT_GT(fake.Calls(call), after); // the failure was met, not skipped
            if (opened) return;
            // A failed Open keeps nothing and can be retried at once.
            EXPECT_EQ(driver.IsOpen(), 0);
            EXPECT_EQ(fake.LiveObjects(), 0);
            fake.ClearFailures();
            fake.alignedFrames = 0;
            EXPECT_EQ(driver.Open(2, 48000, 16, 10), 1);
        };
        if (isRender)
            With<CWASAPIRenderer>(fake, nullptr, run);
        else
            With<CWASAPICapture>(fake, nullptr, run);
    }
}

TEST(WasapiFake, StartAndStreamFailuresAreHandled) {
    FakeSystem starts;
    With<CWASAPICapture>(starts, nullptr, [&](CWASAPICapture& capture) {
        ASSERT_EQ(capture.Open(2, 48000, 16, 10), 1);
        starts.Fail("IAudioClient::Start", AUDCLNT_E_NOT_STOPPED);
        EXPECT_EQ(capture.Start(), 0);
        EXPECT_EQ(capture.IsStarted(), 0);
        capture.Close(); // the waiting thread is woken and joined
        EXPECT_EQ(capture.IsOpen(), 0);
    });

    // A vanished device: the thread reads it once and then only waits for Stop or Close.
    FakeSystem reads;
    reads.Fail("IAudioCaptureClient::GetBuffer", AUDCLNT_E_DEVICE_INVALIDATED);
    RecordingListener quiet;
    With<CWASAPICapture>(reads, &quiet, [&](CWASAPICapture& capture) {
        ASSERT_EQ(capture.Open(2, 48000, 16, 10), 1);
        ASSERT_EQ(capture.Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return reads.Calls("IAudioCaptureClient::GetBuffer") >= 1; }, 2000));
        plat::SleepMs(100); // ten more packets signalled
        EXPECT_EQ(reads.Calls("IAudioCaptureClient::GetBuffer"), 1);
        EXPECT_EQ(quiet.m_InCalls.load(), 0);
    });

    // The first fill succeeds (in Start), the thread's first fails and ends it.
    FakeSystem writes;
    writes.Fail("IAudioRenderClient::GetBuffer", AUDCLNT_E_BUFFER_TOO_LARGE, 1);
    RecordingListener listener;
    With<CWASAPIRenderer>(writes, &listener, [&](CWASAPIRenderer& render) {
        ASSERT_EQ(render.Open(2, 48000, 16, 10), 1);
        ASSERT_EQ(render.Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return writes.Calls("IAudioRenderClient::GetBuffer") >= 2; }, 2000));
        plat::SleepMs(100);
        EXPECT_EQ(writes.Calls("IAudioRenderClient::GetBuffer"), 2);
        EXPECT_EQ(writes.RenderReleases().size(), 1u);
        EXPECT_EQ(render.IsStarted(), 1); // running without a thread until Stop or Close
    });
}

// Start and Stop any number of times, then Init on an open driver: each run
// gets a fresh thread, the counter restarts, and nothing is left behind.
TEST(WasapiFake, RestartsAndInitCloses) {
    FakeSystem fake;
    RecordingListener listener;
    {
        CWASAPICapture capture;
        CWASAPIRenderer render;
        ASSERT_EQ(Wire(capture, fake, &listener).Open(2, 48000, 16, 10), 1);
        ASSERT_EQ(Wire(render, fake, &listener).Open(2, 48000, 16, 10), 1);
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            int inBefore = listener.m_InCalls, outBefore = listener.m_OutCalls;
            ASSERT_EQ(capture.Start(), 1);
            EXPECT_EQ(capture.Start(), 1); // already running
            ASSERT_EQ(render.Start(), 1);
            EXPECT_EQ(capture.IsStarted() + render.IsStarted(), 2);
            ASSERT_TRUE(WaitFor([&] { return listener.m_InCalls >= inBefore + 3; }, 3000));
            ASSERT_TRUE(WaitFor([&] { return listener.m_OutCalls >= outBefore + 3; }, 3000));
            EXPECT_EQ(capture.Stop() + render.Stop(), 2);
            EXPECT_EQ(capture.IsStarted() + render.IsStarted(), 0);
            EXPECT_EQ(capture.IsOpen(), 1);
            // Stopped means stopped: the threads are gone.
            int in = listener.m_InCalls, out = listener.m_OutCalls;
            plat::SleepMs(60);
            EXPECT_EQ(listener.m_InCalls.load(), in);
            EXPECT_EQ(listener.m_OutCalls.load(), out);
        }
        ASSERT_EQ(capture.Start(), 1);
        EXPECT_EQ(capture.Init(&listener), 0); // closes the running stream first
        EXPECT_EQ(capture.IsOpen() + capture.IsStarted(), 0);
        EXPECT_EQ(render.Init(&listener), 0);
        EXPECT_EQ(render.IsOpen(), 0);
    }
    EXPECT_EQ(fake.LiveObjects(), 0);
}

} // namespace
