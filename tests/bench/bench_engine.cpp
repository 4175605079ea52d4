// Engine benchmark: CPU time of the engine per second of 48 kHz stereo audio
// (effects off and with a five-effect chain) and the delay from OnSoundIn to
// the record file. Runs the real engine over the test driver pair.
//
//   bench_engine [SECONDS]     (default 10 s of audio per realtime run)
#include "drivers/test/CTestDriverFactory.h"
#include "effects/CEffectManager.h"
#include "effects/EffectTypes.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Sits between the capture driver and the engine and notes when each block arrived.
class CTimingTap : public CSoundListener {
  public:
    explicit CTimingTap(CAudioControl* audio) : m_Audio(audio) { m_In.reserve(1 << 20); }
    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        m_Frames += bytes / 4;
        m_In.push_back({m_Frames, Clock::now()});
        return m_Audio->OnSoundIn(data, bytes);
    }
    struct Mark {
        uint64_t frames;
        Clock::time_point when;
    };
    CAudioControl* m_Audio;
    uint64_t m_Frames = 0;
    std::vector<Mark> m_In;
};

// Notes when the record thread had written how much.
class CBenchListener : public CWindowEventListener {
  public:
    using CWindowEventListener::CWindowEventListener;
    void PostToWindow(uint32_t, uintptr_t, intptr_t) override {}
    void OnRecordData(const void* samples, uint32_t bytes) override {
        CWindowEventListener::OnRecordData(samples, bytes);
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Out.push_back({m_Audio->GetRecordedFrames(), Clock::now()});
    }
    CAudioControl* m_Audio = nullptr;
    std::mutex m_Lock;
    std::vector<CTimingTap::Mark> m_Out;
};

struct Result {
    double audioSeconds = 0, cpuSeconds = 0, wallSeconds = 0;
    double delayMeanMs = 0, delayMaxMs = 0;
};

void BuildFiveEffectChain(CEffectManager& manager) {
    const int32_t types[] = {EFFECT_COMPRESSOR, EFFECT_EQUALIZER, EFFECT_CHORUS, EFFECT_DELAY_ECHO,
                             EFFECT_REVERB};
    for (int32_t type : types) {
        const EffectTypeInfo* info = GetEffectTypeInfo(type);
        int32_t values[EFFECT_MAX_VALUES] = {};
        for (int i = 0; i < EFFECT_MAX_PARAMS; ++i)
            values[i] = info->param[i].initial;
        manager.AddEffect(type, values, 48000, -1);
    }
}

// A run of the whole engine: capture and render paced like devices (realtime),
// or the capture as fast as the engine takes it with no renderer.
Result RunEngine(double seconds, bool effects, bool realtime, const std::string& out) {
    CAppParameter params;
    g_pAppParameter = &params;
    CEffectManager manager;
    if (effects) BuildFiveEffectChain(manager);
    g_pEffectManager = &manager;

    const uint64_t frames = static_cast<uint64_t>(seconds * 48000);
    CAudioControl audio;
    audio.SetSettings(&params);
    audio.SetEffectChain(&manager);
    CTestDriverFactory factory;
    std::atomic<bool> go{false};
    factory.m_ConfigureCapture = [&](CTestCapture& c) {
        c.SetSignal(std::make_shared<CToneSignal>(440.0, 48000, 12000.0));
        c.SetRealtime(realtime);
        c.SetBlockFrames(480);
        c.SetFlowControl([&] {
            if (!go || c.GetDeliveredFrames() >= frames || audio.GetBlocksInFlight() > 0) return false;
            if (audio.GetRecordFifoUsed() > CAudioControl::RING_BYTES / 2) {
                audio.WakeRecordThread();
                return false;
            }
            return true;
        });
    };
    factory.m_ConfigureRender = [&](CTestRenderer& r) {
        r.SetRealtime(true);
        r.SetKeepLimit(0);
    };
    audio.SetDriverFactory(&factory);
    CBenchListener listener(&audio);
    listener.m_Audio = &audio;
    audio.Initialize(&listener);
    audio.ChangeFormat(48000, 2, 2, 50);
    CTimingTap tap(&audio);
    audio.GetCapture()->Init(&tap);
    audio.m_bEffect = effects ? 1 : 0;

    double cpu0 = CpuSeconds();
    auto wall0 = Clock::now();
    audio.CaptureOpen();
    if (realtime) audio.MonitorOpen();
    audio.CaptureStart();
    if (realtime) audio.MonitorStart();
    audio.m_bMonitor = realtime ? 1 : 0;
    audio.RecordStart(out);
    go = true;
    auto* capture = static_cast<CTestCapture*>(audio.GetCapture());
    if (realtime) {
        // A device never stops delivering: run for the time, then stop.
        while (capture->GetDeliveredFrames() < frames)
            plat::SleepMs(5);
    } else {
        while (capture->GetDeliveredFrames() < frames)
            plat::SleepMs(1);
    }
    while (audio.GetBlocksInFlight() > 0)
        plat::SleepMs(1);
    const uint64_t delivered = capture->GetDeliveredFrames();
    audio.RecordStop();
    audio.MonitorStop();
    audio.CaptureStop();
    Result r;
    r.cpuSeconds = CpuSeconds() - cpu0;
    r.wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    r.audioSeconds = delivered / 48000.0;
    audio.MonitorClose();
    audio.CaptureClose();
    audio.Shutdown();

    // Delay of each block: from OnSoundIn to the record pass that wrote it.
    double sum = 0, worst = 0;
    size_t n = 0, j = 0;
    for (const auto& in : tap.m_In) {
        while (j < listener.m_Out.size() && listener.m_Out[j].frames < in.frames)
            ++j;
        if (j == listener.m_Out.size()) break;
        double ms = std::chrono::duration<double, std::milli>(listener.m_Out[j].when - in.when).count();
        sum += ms;
        worst = std::max(worst, ms);
        ++n;
    }
    r.delayMeanMs = n ? sum / n : 0;
    r.delayMaxMs = worst;
    g_pEffectManager = nullptr;
    g_pAppParameter = nullptr;
    plat::RemoveFile(out.c_str());
    return r;
}

// The test driver pair alone, paced like devices, with a listener that only
// copies: what the drivers cost without the engine.
double RunDriversAlone(double seconds) {
    class CCopyListener : public CSoundListener {
      public:
        int32_t OnSoundIn(const void* data, uint32_t bytes) override {
            m_Copy.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
            return static_cast<int32_t>(bytes);
        }
        uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
            std::fill_n(static_cast<uint8_t*>(buffer), bytes, 0);
            return bytes;
        }
        std::vector<uint8_t> m_Copy;
    } listener;
    CTestCapture capture;
    CTestRenderer render;
    capture.Init(&listener);
    render.Init(&listener);
    capture.SetSignal(std::make_shared<CToneSignal>(440.0, 48000, 12000.0));
    capture.SetRealtime(true);
    capture.SetBlockFrames(480);
    render.SetRealtime(true);
    render.SetKeepLimit(0);
    double cpu0 = CpuSeconds();
    capture.Open(2, 48000, 16, 50);
    render.Open(2, 48000, 16, 50);
    capture.Start();
    render.Start();
    while (capture.GetDeliveredFrames() < seconds * 48000)
        plat::SleepMs(5);
    capture.Close();
    render.Close();
    return (CpuSeconds() - cpu0) / (capture.GetDeliveredFrames() / 48000.0);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (seconds <= 0) seconds = 10.0;
    std::string out = plat::JoinPath(plat::TempDirectory(), "sonvel-bench-engine.wav");

    double drivers = RunDriversAlone(seconds);
    std::printf("drivers_alone_cpu_ms_per_audio_s: %.3f\n", drivers * 1000);
    for (bool effects : {false, true}) {
        const char* tag = effects ? "five_effects" : "effects_off";
        Result rt = RunEngine(seconds, effects, true, out);
        double perSecond = rt.cpuSeconds / rt.audioSeconds;
        std::printf("realtime_%s_cpu_ms_per_audio_s: %.3f\n", tag, perSecond * 1000);
        std::printf("realtime_%s_engine_cpu_ms_per_audio_s: %.3f\n", tag, (perSecond - drivers) * 1000);
        std::printf("realtime_%s_core_percent: %.3f\n", tag, (perSecond - drivers) * 100);
        std::printf("realtime_%s_delay_mean_ms: %.1f\n", tag, rt.delayMeanMs);
        std::printf("realtime_%s_delay_max_ms: %.1f\n", tag, rt.delayMaxMs);
        Result fast = RunEngine(seconds * 6, effects, false, out);
        std::printf("fast_%s_cpu_ms_per_audio_s: %.3f\n", tag, fast.cpuSeconds / fast.audioSeconds * 1000);
        std::printf("fast_%s_speed_x_realtime: %.0f\n", tag, fast.audioSeconds / fast.wallSeconds);
    }
    return 0;
}
