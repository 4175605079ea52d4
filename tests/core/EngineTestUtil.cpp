#include "tests/core/EngineTestUtil.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace enginetest {

namespace {
uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
// Appends `x` as `bytes` little-endian bytes.
void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
} // namespace

WavData ReadWav(const std::string& path) {
    // On Windows a file the writer holds needs a share mode allowing it, which
    // the stream library asks for.
    std::ifstream in(std::filesystem::path(plat::Utf8ToWide(path)), std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    WavData w;
    w.fileSize = b.size();
    auto is = [&](size_t pos, const char* id) { return !std::memcmp(b.data() + pos, id, 4); };
    if (b.size() < 56 || !is(0, "RIFF") || !is(8, "WAVE") || !is(12, "fmt ") || Le32(&b[16]) != 16 ||
        !is(36, "fact") || !is(48, "data"))
        return w;
    w.riffSize = Le32(&b[4]);
    w.tag = Le16(&b[20]);
    w.channels = Le16(&b[22]);
    w.rate = static_cast<int>(Le32(&b[24]));
    w.bits = Le16(&b[34]);
    w.factFrames = Le32(&b[44]);
    w.dataSize = Le32(&b[52]);
    w.samples.resize((b.size() - 56) / 2);
    std::memcpy(w.samples.data(), b.data() + 56, w.samples.size() * 2);
    w.ok = w.channels > 0;
    return w;
}

void ExpectConsistentHeader(const WavData& w) {
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.riffSize, 48 + w.dataSize);
    EXPECT_EQ(w.factFrames, w.dataSize / (2u * w.channels));
    EXPECT_EQ(w.fileSize, 56 + w.dataSize);
}

bool WriteWav(const std::string& path, int tag, int channels, int rate, int bits,
              const std::vector<uint8_t>& data) {
    std::vector<uint8_t> v;
    const int align = channels * ((bits + 7) / 8);
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    Put(v, static_cast<uint32_t>(36 + data.size()), 4);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0});
    Put(v, tag, 2);
    Put(v, channels, 2);
    Put(v, rate, 4);
    Put(v, rate * align, 4);
    Put(v, align, 2);
    Put(v, bits, 2);
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    Put(v, static_cast<uint32_t>(data.size()), 4);
    v.insert(v.end(), data.begin(), data.end());
    return testutil::WriteAll(path, v.data(), v.size());
}

bool WriteWav16(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> data(samples.size() * 2);
    std::memcpy(data.data(), samples.data(), data.size());
    return WriteWav(path, 1, channels, rate, 16, data);
}

std::vector<int16_t> AfterLead(const WavData& wav) {
    size_t lead = static_cast<size_t>(wav.rate / 2) * wav.channels;
    if (wav.samples.size() < lead) return {};
    EXPECT_EQ(std::vector<int16_t>(wav.samples.begin(), wav.samples.begin() + static_cast<long>(lead)),
              std::vector<int16_t>(lead, 0))
        << "the lead is silence";
    return std::vector<int16_t>(wav.samples.begin() + static_cast<long>(lead), wav.samples.end());
}

std::vector<int16_t> Repeat(std::initializer_list<int16_t> frame, size_t frames) {
    std::vector<int16_t> v;
    for (size_t i = 0; i < frames; ++i)
        v.insert(v.end(), frame);
    return v;
}

WavData Record(const std::string& dir, const std::vector<int16_t>& input, int channels,
               const std::function<void(RecordSessionOptions&)>& adjust, RecordSessionResult* out) {
    RecordSessionOptions o;
    o.outPath = plat::JoinPath(dir, "take.wav");
    o.inputSamples = input;
    o.inputChannels = input.empty() ? 0 : channels;
    if (adjust) adjust(o);
    RecordSessionResult r;
    std::string error;
    EXPECT_TRUE(RunRecordSession(o, &r, &error)) << error;
    if (!o.signal) {
        EXPECT_EQ(r.capturedFrames, input.size() / channels);
    }
    EXPECT_EQ(r.overflows, 0u);
    if (out) *out = r;
    WavData w = ReadWav(o.outPath);
    ExpectConsistentHeader(w);
    return w;
}

std::vector<int16_t> Heard(CTestRenderer* render) {
    std::vector<uint8_t> bytes = render->GetReceived();
    std::vector<int16_t> out;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        int16_t lr[2];
        std::memcpy(lr, &bytes[i], 4);
        EXPECT_EQ(lr[0], lr[1]);
        if (lr[0]) out.push_back(lr[0]);
    }
    return out;
}

void PostLog::PostToWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Posts[message].emplace_back(wParam, lParam);
}

std::vector<std::pair<uintptr_t, intptr_t>> PostLog::Params(uint32_t message) {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Posts[message];
}

std::vector<int32_t> InitialValues(int type) {
    const EffectTypeInfo* info = GetEffectTypeInfo(type);
    std::vector<int32_t> v(EFFECT_MAX_VALUES, 0);
    for (int j = 0; info && j < info->params; ++j)
        v[j] = info->param[j].initial;
    return v;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

EngineRig::EngineRig() : m_Log(&m_Audio), m_Audio(&m_Factory) {
    m_Params.m_RecFileChannel = 0;
    m_Audio.SetSettings(&m_Params);
    m_Factory.m_ConfigureCapture = [this](CTestCapture& c) {
        c.SetFlowControl([this, &c] {
            if (c.GetDeliveredFrames() >= m_Allowed) return false;
            if (m_Audio.GetBlocksInFlight() > 0) return false;
            if (m_FifoFlow && m_Audio.GetRecordFifoUsed() > CAudioControl::RING_BYTES / 2) {
                m_Audio.WakeRecordThread();
                return false;
            }
            return true;
        });
    };
    m_Factory.m_ConfigureRender = [](CTestRenderer& r) { r.SetKeepLimit(16u << 20); };
}

EngineRig::~EngineRig() {
    m_Allowed = ~0ull >> 1;
    m_Audio.Shutdown();
}

bool EngineRig::StartCapture(std::shared_ptr<CTestSignal> signal, int rate, int channelMode,
                             uint32_t blockFrames, bool flowControlFifo) {
    m_FifoFlow = flowControlFifo;
    if (!m_Audio.GetCapture() && !m_Audio.Initialize(&m_Log)) return false;
    if (!m_Audio.ChangeFormat(rate, channelMode, 2, 50)) return false;
    Capture()->SetSignal(std::move(signal));
    Capture()->SetBlockFrames(blockFrames);
    return m_Audio.CaptureOpen() && m_Audio.MonitorOpen() && m_Audio.CaptureStart() && m_Audio.MonitorStart();
}

void EngineRig::Deliver(uint64_t frames) {
    m_Allowed += frames;
    WaitFor([&] { return Capture()->GetDeliveredFrames() >= m_Allowed || Capture()->IsSignalFinished(); });
    WaitFor([&] { return m_Audio.GetBlocksInFlight() == 0; });
}

void EngineRig::DrainRecord() {
    WaitFor([&] { return m_Audio.GetBlocksInFlight() == 0; });
    m_Audio.WakeRecordThread();
    WaitFor([&] { return m_Audio.GetRecordFifoUsed() == 0; });
    uint64_t passes = m_Audio.GetRecordPasses();
    m_Audio.WakeRecordThread();
    WaitFor([&] { return m_Audio.GetRecordPasses() > passes; });
}

void EngineTest::ExpectTake(const std::vector<int16_t>& frames, const std::string& name) {
    WavData w = ReadWav(dir.File(name));
    ExpectConsistentHeader(w);
    EXPECT_EQ(AfterLead(w), frames) << name;
}

std::vector<int16_t> CountingFrames(std::initializer_list<std::pair<uint64_t, size_t>> runs) {
    std::vector<int16_t> s;
    for (auto [first, frames] : runs)
        for (size_t f = 0; f < frames; ++f)
            s.insert(s.end(), 2, static_cast<int16_t>((first + f) & 0x7FFF));
    return s;
}

} // namespace enginetest
