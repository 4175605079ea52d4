// sonvel-tool probe: plays a tone (S seconds after one second of silence)
// through a render driver and records it
// through a capture driver, then reports what came back:
//   probe [--driver mme|wasapi] [--render NAME] [--capture NAME] [--loopback]
//         [--seconds S] [--tone HZ] [--rate HZ] [--latency MS] [--trace] [--dump FILE]
// Output, one "name: value" line each: the devices and formats, block sizes,
// frequency (Hz), level_dbfs (RMS against a full-scale sine), dropouts,
// latency_ms (render hand-over to capture hand-back of the tone's onset, with
// the onset's place in its blocks taken out), cpu_ms_per_s (process CPU per
// second of streaming) and close_ms (Stop and Close of both drivers).
// A device that is not named is the system default. With --loopback the
// capture name is a render endpoint whose loopback is recorded (WASAPI).
// --trace copies the drivers' debug lines to standard error; --dump FILE writes
// the first captured channel there as raw 16-bit samples.
#include "tools/sonvel-tool/Tool.h"

#ifdef _WIN32
#include "drivers/CWinDriverFactory.h"
#include "drivers/test/CToneAnalyzer.h"
#include "platform/Platform.h"

#include <objbase.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Block {
    int64_t start;
    uint32_t frames;
    double time;
};

class ProbeListener : public CSoundListener {
  public:
    ProbeListener(double hz, int rate, double prerollSeconds)
        : m_Hz(hz), m_Rate(rate), m_Preroll(static_cast<int64_t>(prerollSeconds * rate)) {
        m_Captured.reserve(static_cast<size_t>(rate) * 30);
    }
    void SetFormats(const WAVEFORMATEX& capture, const WAVEFORMATEX& render) {
        m_Capture = capture;
        m_Render = render;
    }

    uint32_t OnSoundOut(void* buffer, uint32_t bytes) override {
        const int channels = m_Render.nChannels ? m_Render.nChannels : 2;
        const uint32_t frames = bytes / (2u * channels);
        auto* out = static_cast<int16_t*>(buffer);
        for (uint32_t i = 0; i < frames; ++i) {
            int64_t n = m_RenderPos + i;
            double v =
                n < m_Preroll
                    ? 0.0
                    : kAmplitude * std::sin(2 * kPi * m_Hz * static_cast<double>(n - m_Preroll) / m_Rate);
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = static_cast<int16_t>(std::lround(v));
        }
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_RenderBlocks.size() < 100000) m_RenderBlocks.push_back({m_RenderPos, frames, Now()});
        if (!m_RenderBlockBytes) m_RenderBlockBytes = bytes;
        m_RenderPos += frames;
        return frames * 2u * channels;
    }

    int32_t OnSoundIn(const void* data, uint32_t bytes) override {
        const int channels = m_Capture.nChannels ? m_Capture.nChannels : 1;
        const bool isFloat = m_Capture.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
        const uint32_t frameBytes = m_Capture.nBlockAlign ? m_Capture.nBlockAlign : 2;
        const uint32_t frames = bytes / frameBytes;
        double t = Now();
        std::lock_guard<std::mutex> lock(m_Lock);
        if (!m_CaptureBlockBytes) m_CaptureBlockBytes = bytes;
        ++m_CaptureBlockCount;
        m_CaptureBlocks.push_back({static_cast<int64_t>(m_Captured.size()), frames, t});
        for (uint32_t i = 0; i < frames; ++i) {
            int16_t s;
            if (isFloat) {
                float f;
                std::memcpy(&f, static_cast<const uint8_t*>(data) + i * frameBytes, 4);
                s = static_cast<int16_t>(
                    std::lround(std::fmax(-1.0, std::fmin(32767.0 / 32768.0, f)) * 32768.0));
            } else {
                std::memcpy(&s, static_cast<const uint8_t*>(data) + i * frameBytes, 2);
            }
            m_Captured.push_back(s);
        }
        (void)channels;
        return 0;
    }

    static constexpr double kAmplitude = 16384.0; // half scale: -6.02 dB
    double m_Hz;
    int m_Rate;
    int64_t m_Preroll;
    WAVEFORMATEX m_Capture{}, m_Render{};
    std::mutex m_Lock;
    int64_t m_RenderPos = 0;
    std::vector<Block> m_RenderBlocks, m_CaptureBlocks;
    std::vector<int16_t> m_Captured;
    uint32_t m_RenderBlockBytes = 0, m_CaptureBlockBytes = 0, m_CaptureBlockCount = 0;
};

// The index of the device with this name in a driver's list, -1 for "" (default).
template <class Driver> bool FindByName(Driver& driver, const std::string& name, int base, int32_t& index) {
    index = DEFAULT_DEVICE_INDEX;
    if (name.empty()) return true;
    std::wstring wide = plat::Utf8ToWide(name);
    AudioDeviceInfo info;
    int count = driver.EnumDevice(base, nullptr);
    for (int i = 0; i < count; ++i) {
        driver.EnumDevice(base + i, &info);
        if (wide == info.szName) {
            index = base + i;
            return true;
        }
    }
    return false;
}

// Stream position of the first sample of a sine that reaches a quarter of its peak.
int64_t QuarterCrossing(double hz, int rate) {
    for (int64_t n = 0; n < rate; ++n)
        if (std::fabs(std::sin(2 * kPi * hz * static_cast<double>(n) / rate)) >= 0.25) return n;
    return 0;
}

const Block* BlockOf(const std::vector<Block>& blocks, int64_t position) {
    for (const Block& b : blocks)
        if (position >= b.start && position < b.start + b.frames) return &b;
    return nullptr;
}

int Probe(const std::vector<std::string>& args) {
    std::string driverName = "wasapi", renderName, captureName, dumpPath;
    double seconds = 3, hz = 1000;
    int rate = 48000, latency = 50;
    bool loopback = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--loopback")
            loopback = true;
        else if (a == "--trace")
            plat::SetTraceSink(ToolTraceToStderr, nullptr);
        else if (a == "--driver" && hasValue)
            driverName = args[++i];
        else if (a == "--render" && hasValue)
            renderName = args[++i];
        else if (a == "--capture" && hasValue)
            captureName = args[++i];
        else if (a == "--dump" && hasValue)
            dumpPath = args[++i];
        else if (a == "--seconds" && hasValue)
            seconds = std::atof(args[++i].c_str());
        else if (a == "--tone" && hasValue)
            hz = std::atof(args[++i].c_str());
        else if (a == "--rate" && hasValue)
            rate = std::atoi(args[++i].c_str());
        else if (a == "--latency" && hasValue)
            latency = std::atoi(args[++i].c_str());
        else
            return ToolFail(
                "usage: probe [--driver mme|wasapi] [--render NAME] [--capture NAME] [--loopback] [--seconds "
                "S] [--tone HZ] [--rate HZ] [--latency MS] [--trace] [--dump FILE]");
    }
    if (driverName != "mme" && driverName != "wasapi")
        return ToolFail("unknown driver: %s", driverName.c_str());
    if (seconds <= 0 || seconds > 600 || hz <= 0 || hz >= rate / 2.0 || rate < 8000 || rate > 192000 ||
        latency < 1 || latency > 1000)
        return ToolFail("probe: a value is out of range");

    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = 0;
    {
        CWinDriverFactory factory;
        int type = driverName == "mme" ? CWinDriverFactory::DRIVER_TYPE_MME : 0;
        std::unique_ptr<CCaptureDriver> capture(factory.CreateCapture(type));
        std::unique_ptr<CRenderDriver> render(factory.CreateRender(type));
        // A second of silence first: a sound system that has just woken up
        // (a fresh PulseAudio sink) drops the first few hundred ms it plays.
        const double preroll = 1.0;
        ProbeListener listener(hz, rate, preroll);
        capture->Init(&listener);
        render->Init(&listener);

        int32_t capIndex = -1, renIndex = -1;
        if (loopback && type == CWinDriverFactory::DRIVER_TYPE_MME)
            return ToolFail("probe: MME has no loopback");
        if (!FindByName(*capture, captureName, loopback ? LOOPBACK_INDEX_BASE : 0, capIndex))
            return ToolFail("probe: no capture device named %s", captureName.c_str());
        if (!FindByName(*render, renderName, 0, renIndex))
            return ToolFail("probe: no render device named %s", renderName.c_str());
        capture->SelectDevice(capIndex);
        render->SelectDevice(renIndex);

        AudioDeviceInfo info;
        capture->GetDeviceInfo(&info);
        std::printf("driver: %s\n", driverName.c_str());
        std::printf("capture_device: %s\n", plat::WideToUtf8(info.szName).c_str());
        render->GetDeviceInfo(&info);
        std::printf("render_device: %s\n", plat::WideToUtf8(info.szName).c_str());

        if (!capture->Open(2, rate, 16, latency)) {
            capture->Close();
            return ToolFail("probe: the capture device does not open");
        }
        if (!render->Open(2, rate, 16, latency)) {
            capture->Close();
            return ToolFail("probe: the render device does not open");
        }
        const WAVEFORMATEX cf = *capture->GetFormat(), rf = *render->GetFormat();
        listener.SetFormats(cf, rf);
        std::printf("capture_format: %u Hz, %u ch, %u bit, tag %u\n",
                    static_cast<unsigned>(cf.nSamplesPerSec), cf.nChannels, cf.wBitsPerSample, cf.wFormatTag);
        std::printf("render_format: %u Hz, %u ch, %u bit, tag %u\n", static_cast<unsigned>(rf.nSamplesPerSec),
                    rf.nChannels, rf.wBitsPerSample, rf.wFormatTag);
        if (type != CWinDriverFactory::DRIVER_TYPE_MME) {
            std::printf("capture_shared: %d\n",
                        static_cast<CWASAPICapture*>(capture.get())->IsSharedMode() ? 1 : 0);
            std::printf("render_shared: %d\n",
                        static_cast<CWASAPIRenderer*>(render.get())->IsSharedMode() ? 1 : 0);
        }

        double cpu0 = ProcessCpuSeconds(), wall0 = Now();
        int started = capture->Start();
        // Render only once capture delivers, so the tone's onset cannot fall
        // before the recording begins (a sound system can take a while to start).
        for (int waited = 0; started && waited < 1000; waited += 10) {
            {
                std::lock_guard<std::mutex> lock(listener.m_Lock);
                if (listener.m_CaptureBlockCount) break;
            }
            plat::SleepMs(10);
        }
        started &= render->IsStarted() ? 1 : render->Start();
        if (!started) result = ToolFail("probe: the streams do not start");
        plat::SleepMs(static_cast<uint32_t>((preroll + seconds) * 1000));
        double cpu1 = ProcessCpuSeconds(), wall1 = Now();

        double close0 = Now();
        capture->Stop();
        render->Stop();
        capture->Close();
        render->Close();
        double closeMs = (Now() - close0) * 1000;

        std::lock_guard<std::mutex> lock(listener.m_Lock);
        const std::vector<int16_t>& s = listener.m_Captured;
        const int capRate = static_cast<int>(cf.nSamplesPerSec ? cf.nSamplesPerSec : rate);
        std::printf("capture_block_bytes: %u\n", listener.m_CaptureBlockBytes);
        std::printf("capture_blocks: %u\n", listener.m_CaptureBlockCount);
        std::printf("render_block_bytes: %u\n", listener.m_RenderBlockBytes);
        std::printf("captured_frames: %zu\n", s.size());
        if (!dumpPath.empty()) {
            // The first channel as raw 16-bit samples, for a closer look.
            if (FILE* f = _wfopen(plat::Utf8ToWide(dumpPath).c_str(), L"wb")) {
                std::fwrite(s.data(), 2, s.size(), f);
                std::fclose(f);
            }
        }

        ToneStats steady;
        double latencyMs = -1;
        size_t from = s.size() / 2,
               to = s.size() > static_cast<size_t>(capRate / 20) ? s.size() - capRate / 20 : 0;
        if (to > from) steady = CToneAnalyzer::Analyze(s, capRate, from, to);
        double peak = steady.rms * std::sqrt(2.0);
        if (peak > 300) {
            int64_t onset = CToneAnalyzer::FindOnset(s, 0.25 * peak);
            int64_t renderOnset = listener.m_Preroll + QuarterCrossing(hz, rate);
            const Block* cb = onset >= 0 ? BlockOf(listener.m_CaptureBlocks, onset) : nullptr;
            const Block* rb = BlockOf(listener.m_RenderBlocks, renderOnset);
            // An onset without quiet before it was not seen arriving.
            bool quietBefore = onset > capRate / 10;
            if (cb && rb && capRate == rate && quietBefore) {
                double inCapture = static_cast<double>(cb->start + cb->frames - onset) / rate;
                double inRender = static_cast<double>(renderOnset - rb->start) / rate;
                latencyMs = (cb->time - inCapture - rb->time - inRender) * 1000;
            }
            // The whole tone, from just after its onset, for breaks.
            if (onset >= 0) {
                size_t tf = static_cast<size_t>(onset) + capRate / 20;
                if (to > tf) steady.dropouts = CToneAnalyzer::Analyze(s, capRate, tf, to).dropouts;
            }
        }
        std::printf("frequency: %.2f\n", steady.frequency);
        std::printf("level_dbfs: %.2f\n", steady.levelDbfs);
        std::printf("dropouts: %d\n", steady.dropouts);
        if (type != CWinDriverFactory::DRIVER_TYPE_MME) {
            std::printf("capture_glitches: %d\n",
                        static_cast<CWASAPICapture*>(capture.get())->GetGlitchCount());
            std::printf("render_underruns: %d\n",
                        static_cast<CWASAPIRenderer*>(render.get())->GetUnderrunCount());
        }
        std::printf("latency_ms: %.1f\n", latencyMs);
        std::printf("cpu_ms_per_s: %.2f\n", wall1 > wall0 ? (cpu1 - cpu0) * 1000 / (wall1 - wall0) : 0.0);
        std::printf("close_ms: %.0f\n", closeMs);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}
ToolRegistrar
    reg("probe",
        "probe [--driver mme|wasapi] [--render NAME] [--capture NAME] [--loopback] [--seconds S] [--tone HZ] "
        "[--rate HZ] [--latency MS] [--trace] [--dump FILE]",
        Probe);
} // namespace
#endif
