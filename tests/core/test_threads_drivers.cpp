// StopThread's bounded wait and the test driver pair's contract.
#include "drivers/test/CTestDriverFactory.h"
#include "platform/Thread.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

TEST(StopThread, WaitsForAThreadThatEnds) {
    std::atomic<bool> quit{false};
    CThread* t = new CThread([&] {
        while (!quit)
            plat::SleepMs(5);
    });
    quit = true;
    CThread* slot = t;
    EXPECT_EQ(StopThread(slot), 1);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(StopThread(slot), 1) << "an empty slot is fine";
}

TEST(StopThread, AbandonsOnlyAThreadThatOutlastsTheLimit) {
    struct Case {
        int runMs, limitMs, result;
        const char* line;
    } cases[] = {
        {1200, 5000, 1, "StopThread: thread still running after 1 s, waiting\n"},
        {5000, 200, 0, "StopThread: thread still running after 200 ms, abandoned; what it uses is leaked\n"},
    };
    for (const Case& c : cases) {
        testutil::TraceCapture trace;
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto start = std::chrono::steady_clock::now();
        CThread* slot = new CThread([release, c, start] {
            while (!*release && std::chrono::steady_clock::now() - start < std::chrono::milliseconds(c.runMs))
                plat::SleepMs(5);
        });
        EXPECT_EQ(StopThread(slot, c.limitMs), c.result);
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(std::min(c.runMs, c.limitMs) - 10));
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(trace.Count(c.line), 1) << c.limitMs;
        *release = true; // the abandoned thread still ends on its own
        plat::SleepMs(50);
    }
}

// Collects what the capture driver delivers.
class Sink : public CSoundListener {
  public:
    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        std::lock_guard<std::mutex> lock(m);
        const auto* p = static_cast<const uint8_t*>(data);
        got.insert(got.end(), p, p + bytes);
        sizes.push_back(bytes);
        return stopAfter && sizes.size() >= stopAfter ? 1 : 0;
    }
    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
        auto* p = static_cast<int16_t*>(buffer);
        for (uint32_t i = 0; i < bytes / 2; ++i)
            p[i] = static_cast<int16_t>(next++);
        return bytes;
    }
    std::mutex m;
    std::vector<uint8_t> got;
    std::vector<uint32_t> sizes;
    size_t stopAfter = 0;
    int next = 0;
};

TEST(TestCapture, DeliversEveryFrameOfItsSignalIn16BitOrFloat) {
    for (bool useFloat : {false, true}) {
        Sink sink;
        CTestCapture cap;
        cap.Init(&sink);
        cap.SetSignal(std::make_shared<CCountingSignal>(4800));
        cap.SetBlockFrames(480);
        cap.SetFloat(useFloat);
        ASSERT_EQ(cap.Open(2, 48000, 16, 50), 1);
        EXPECT_EQ(cap.Open(2, 48000, 16, 50), 0) << "open twice";
        EXPECT_EQ(cap.IsFloat(), useFloat ? 1 : 0);
        EXPECT_EQ(cap.GetFormat()->nBlockAlign, useFloat ? 8 : 4);
        EXPECT_EQ(cap.GetBlockSize(), 480u * cap.GetFormat()->nBlockAlign);
        EXPECT_EQ(cap.GetElapsedSeconds(), 0u);
        ASSERT_EQ(cap.Start(), 1);
        for (int i = 0; i < 500 && !cap.IsSignalFinished(); ++i)
            plat::SleepMs(2);
        cap.Close();
        EXPECT_EQ(cap.IsOpen(), 0);
        ASSERT_EQ(cap.GetDeliveredFrames(), 4800u);
        ASSERT_EQ(sink.got.size(), 4800u * (useFloat ? 8 : 4));
        for (uint32_t f = 0; f < 4800; ++f) {
            float l;
            if (useFloat) {
                std::memcpy(&l, &sink.got[f * 8], 4);
                ASSERT_EQ(l, static_cast<float>(f) / 32768.0f) << f;
            } else {
                int16_t s;
                std::memcpy(&s, &sink.got[f * 4 + 2], 2);
                ASSERT_EQ(s, static_cast<int16_t>(f)) << f;
            }
        }
    }
}

TEST(TestCapture, AListenerResultOfOneEndsDelivery) {
    Sink sink;
    sink.stopAfter = 3;
    CTestCapture cap;
    cap.Init(&sink);
    cap.SetSignal(std::make_shared<CToneSignal>(1000.0, 8000, 1000.0));
    ASSERT_EQ(cap.Open(1, 8000, 16, 50), 1);
    ASSERT_EQ(cap.Start(), 1);
    plat::SleepMs(100);
    cap.Stop();
    EXPECT_EQ(sink.sizes.size(), 3u);
    EXPECT_EQ(cap.GetElapsedSeconds(), 0u);
}

TEST(TestCapture, DeviceListAndSelection) {
    CTestCapture cap;
    cap.SetDevices({L"Mic", L"Line In"});
    AudioDeviceInfo info;
    EXPECT_EQ(cap.EnumDevice(0, nullptr), 2);
    EXPECT_EQ(cap.EnumDevice(1, &info), 2);
    EXPECT_STREQ(info.szName, L"Line In");
    EXPECT_EQ(cap.FindDevice(L"Line In", nullptr, 0), 1);
    EXPECT_EQ(cap.FindDevice(L"line in", nullptr, 0), -1);
    EXPECT_EQ(cap.FindDevice(L"Line In", nullptr, 1), -1) << "no loopback in the test pair";
    EXPECT_EQ(cap.SelectDevice(-1), 1);
    EXPECT_EQ(cap.SelectDevice(2), 0);
    EXPECT_EQ(cap.GetDeviceIndex(), -1);
    EXPECT_EQ(cap.CanLoopback(), 0);
}

TEST(TestRenderer, PullsFromTheListenerAndKeepsWhatItGot) {
    Sink sink;
    CTestRenderer r;
    r.Init(&sink);
    r.SetBlockBytes(400);
    ASSERT_EQ(r.Open(2, 48000, 16, 50), 1);
    EXPECT_EQ(r.GetVolume(nullptr, nullptr), 0);
    ASSERT_EQ(r.Start(), 1);
    for (int i = 0; i < 500 && r.GetReceivedBytes() < 4000; ++i)
        plat::SleepMs(2);
    r.Stop();
    auto got = r.GetReceived();
    ASSERT_GE(got.size(), 4000u);
    EXPECT_EQ(got.size() % 400, 0u);
    for (size_t i = 0; i < got.size() / 2; ++i) {
        int16_t s;
        std::memcpy(&s, &got[i * 2], 2);
        ASSERT_EQ(s, static_cast<int16_t>(i)) << i;
    }
}

} // namespace
