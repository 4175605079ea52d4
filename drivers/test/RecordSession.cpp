#include "drivers/test/RecordSession.h"

#include "effects/CEffectList.h"
#include "effects/CEffectManager.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "engine/PlayFileInfo.h"
#include "media/CWaveFile.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace {

// Ends another signal after a number of frames.
class CLimitedSignal : public CTestSignal {
  public:
    CLimitedSignal(std::shared_ptr<CTestSignal> inner, uint64_t frames)
        : m_Inner(std::move(inner)), m_Left(frames) {}
    uint32_t Read(int16_t* out, uint32_t frames, int channels) override {
        if (m_Left < frames) frames = static_cast<uint32_t>(m_Left);
        uint32_t n = frames ? m_Inner->Read(out, frames, channels) : 0;
        m_Left -= n;
        return n;
    }

  private:
    std::shared_ptr<CTestSignal> m_Inner;
    uint64_t m_Left;
};

class CSessionListener : public CWindowEventListener {
  public:
    using CWindowEventListener::CWindowEventListener;
    void PostToWindow(uint32_t message, uintptr_t, intptr_t) override {
        if (message == WM_PLAY_END) m_PlayEnd = true;
        if (message == WM_REC_ERROR) m_RecError = true;
    }
    std::atomic<bool> m_PlayEnd{false};
    std::atomic<bool> m_RecError{false};
};

bool LoadEffectChainFile(const std::string& path, CEffectManager& manager, int rate) {
    CEffectList list;
    if (!list.LoadEffectList(CString(path))) return false;
    list.ApplyTo(manager, rate);
    return true;
}

void SleepBriefly() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

bool RecordSessionOptions::LoadInput(const std::string& path, std::string* error) {
    CWaveFile file;
    std::wstring wide = plat::Utf8ToWide(path);
    if (!file.Open(wide.c_str())) {
        if (error) *error = "cannot open input " + path;
        return false;
    }
    const MediaFormat* f = file.GetFormat();
    if (file.GetFormatTag() != 1 || f->nBitsPerSample != 16 || f->nChannels < 1 || f->nChannels > 2) {
        if (error) *error = "input must be a 16-bit PCM WAV file with 1 or 2 channels: " + path;
        return false;
    }
    inputChannels = static_cast<int>(f->nChannels);
    rate = static_cast<int>(f->nSamplesPerSec);
    inputSamples.assign(static_cast<size_t>(file.GetFrames()) * inputChannels, 0);
    uint32_t bytes = static_cast<uint32_t>(inputSamples.size() * 2);
    uint32_t got = bytes ? file.ReadData(inputSamples.data(), bytes) : 0;
    inputSamples.resize(got / 2 / inputChannels * inputChannels);
    return true;
}

int RunRecordSession(const RecordSessionOptions& o, RecordSessionResult* result, std::string* error) {
    RecordSessionResult local;
    RecordSessionResult& r = result ? *result : local;
    r = RecordSessionResult{};
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return 0;
    };

    // ---- the capture signal and format
    std::shared_ptr<CTestSignal> signal = o.signal;
    int channelMode = o.channelMode;
    double seconds = o.seconds;
    if (!o.inputSamples.empty() || o.inputChannels) {
        signal = std::make_shared<CBufferSignal>(o.inputSamples, o.inputChannels);
        int requested = channelMode;
        channelMode = o.inputChannels;
        if (o.inputChannels == 2 && (requested == 3 || requested == 4)) channelMode = requested;
    } else if (o.toneHz > 0) {
        signal = std::make_shared<CToneSignal>(o.toneHz, o.rate, 16384.0);
        if (seconds <= 0) seconds = 5;
    }
    if (!signal) return fail("no capture source");
    if (channelMode < 1 || channelMode > 4) channelMode = 2;
    if (seconds > 0)
        signal = std::make_shared<CLimitedSignal>(signal, static_cast<uint64_t>(seconds * o.rate + 0.5));

    // ---- settings and effects as the program would have them
    CAppParameter params;
    params.m_RecFileChannel = o.recFileChannel;
    params.m_PlayFileMode = o.playFileMode;
    params.m_BoostOn = o.boostOn;
    params.m_BoostLevel = o.boostLevel;

    std::unique_ptr<CEffectManager> manager;
    CEffectManager* effects = o.effectChain;
    if (!o.chainPath.empty()) {
        manager = std::make_unique<CEffectManager>();
        if (!LoadEffectChainFile(o.chainPath, *manager, o.rate))
            return fail("cannot read effect chain " + o.chainPath);
        effects = manager.get();
    }

    // ---- the engine over the test pair
    CAudioControl audio;
    audio.SetSettings(&params);
    audio.SetEffectChain(effects);
    std::atomic<bool> go{false};
    std::optional<std::chrono::steady_clock::time_point> dryStart; // capture thread only
    bool playStalled = false;
    const uint32_t blockFrames = o.blockFrames ? o.blockFrames : static_cast<uint32_t>(o.rate / 100);
    const uint32_t recordChannels = (channelMode == 1 && o.recFileChannel == 0) ? 1 : 2;
    const uint32_t recordBlockBytes = blockFrames * recordChannels * 2;
    CTestDriverFactory factory;
    factory.m_WithRenderer = o.withRenderer;
    factory.m_ConfigureCapture = [&](CTestCapture& c) {
        c.SetSignal(signal);
        c.SetFloat(o.floatCapture);
        c.SetRealtime(o.realtime);
        c.SetBlockFrames(blockFrames);
        // One block at a time, and only when the record FIFO has room and the
        // playback for it is ready: nothing is lost however fast it runs.
        c.SetFlowControl([&] {
            if (!go) return false;
            if (audio.GetBlocksInFlight() > 0) return false;
            if (audio.GetRecordFifoUsed() > CAudioControl::RING_BYTES / 2) {
                audio.WakeRecordThread();
                return false;
            }
            if (audio.GetMonitorFifoUsed() > CAudioControl::MONITOR_FIFO_BYTES / 2) return false;
            if (audio.m_bPlaying && !audio.IsPlayFileAtEnd() &&
                audio.GetPlayRecordRingUsed() < recordBlockBytes) {
                // The play thread fills the rings every 10 ms; once the ring has
                // stayed dry for a second, playback has stalled and is not
                // waited for again.
                auto now = std::chrono::steady_clock::now();
                if (!playStalled) {
                    if (!dryStart) dryStart = now;
                    if (now - *dryStart < std::chrono::seconds(1)) return false;
                    playStalled = true;
                }
            } else {
                dryStart.reset();
            }
            return true;
        });
    };
    factory.m_ConfigureRender = [&](CTestRenderer& rnd) {
        rnd.SetRealtime(o.realtime);
        rnd.SetKeepLimit(o.rendererKeepBytes);
    };
    audio.SetDriverFactory(&factory);
    CSessionListener listener(&audio);
    if (!audio.Initialize(&listener)) return fail("engine initialisation failed");
    if (!audio.ChangeFormat(o.rate, channelMode, 2, 50)) return fail("unsupported capture format");
    audio.m_bEffect = (o.effectsOn || effects) ? 1 : 0;
    audio.m_bVoiceCancel = o.voiceCancel ? 1 : 0;
    audio.m_PlayGain = o.playGain;

    bool playing = false;
    if (!o.playPath.empty()) {
        PlayFileInfo info;
        std::wstring wide = plat::Utf8ToWide(o.playPath);
        uint32_t playRate = ReadPlayFileInfo(wide.c_str(), info);
        if (!playRate) return fail("cannot read play file " + o.playPath);
        if (static_cast<int>(playRate) != o.rate)
            return fail("play file rate " + std::to_string(playRate) + " differs from the capture rate " +
                        std::to_string(o.rate));
        if (!audio.OpenPlayFile(o.playPath)) return fail("cannot open play file " + o.playPath);
        playing = true;
    }

    if (!audio.CaptureOpen() || !audio.MonitorOpen()) return fail("cannot open the test devices");
    if (!audio.CaptureStart() || !audio.MonitorStart()) return fail("cannot start the test devices");
    audio.m_bMonitor = o.monitor ? 1 : 0;
    if (playing) audio.PlayBegin(o.playDelay, 0);
    if (!audio.RecordStart(o.outPath)) {
        audio.Shutdown();
        return fail("cannot create " + o.outPath);
    }
    go = true;

    auto* capture = static_cast<CTestCapture*>(audio.GetCapture());
    auto lastProgress = std::chrono::steady_clock::now();
    while (!capture->IsSignalFinished() && (audio.GetRecordState() & REC_RECORDING)) {
        SleepBriefly();
        if (o.onProgress && std::chrono::steady_clock::now() - lastProgress > std::chrono::milliseconds(50)) {
            lastProgress = std::chrono::steady_clock::now();
            o.onProgress(audio, capture->GetDeliveredFrames());
        }
    }
    // Everything delivered has passed the sound thread before the stop.
    while (audio.GetBlocksInFlight() > 0)
        SleepBriefly();
    r.capturedFrames = capture->GetDeliveredFrames();
    audio.RecordStop();

    if (playing) {
        // The rest of the play file goes to the renderer alone.
        audio.CaptureStop();
        for (int i = 0; i < 600000 && !listener.m_PlayEnd && o.withRenderer; ++i)
            SleepBriefly();
        r.playEnded = listener.m_PlayEnd;
        audio.PlayEnd();
    }
    audio.MonitorStop();
    audio.CaptureStop();
    audio.MonitorClose();
    audio.CaptureClose();
    if (auto* render = static_cast<CTestRenderer*>(audio.GetRender())) r.monitorBytes = render->GetReceived();
    audio.Shutdown();

    r.recordedFrames = audio.GetRecordedFrames();
    r.overflows = audio.GetOverflowCount();
    r.recordParts = audio.GetRecordParts();
    r.writeFailed = listener.m_RecError;
    return 1;
}
