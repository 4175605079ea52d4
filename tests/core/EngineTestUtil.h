// Helpers for the engine tests: WAV files read and written independently of
// the code under test, a listener that logs what the window would receive, and
// a rig that runs CAudioControl over the test driver pair with a capture that
// delivers exactly as many frames as the test allows.
#pragma once

#include "drivers/test/CTestDriverFactory.h"
#include "effects/EffectTypes.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "drivers/test/RecordSession.h"
#include "settings/CAppParameter.h"
#include "tests/core/TestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

struct WavData {
    bool ok = false;
    int tag = 0, channels = 0, rate = 0, bits = 0;
    uint32_t riffSize = 0, factFrames = 0, dataSize = 0;
    uint64_t fileSize = 0;
    std::vector<int16_t> samples; // every sample byte after the "data" header, as 16-bit
};
// Reads a recording laid out as this program writes it (RIFF, a 16-byte "fmt ",
// "fact", then "data" at byte 48; anything else is not ok), independently of
// the code under test. The file may still be held open by a writer.
WavData ReadWav(const std::string& path);
// The header of a finished recording (fmt and fact chunks) agrees with its length.
void ExpectConsistentHeader(const WavData& w);
// A standard 44-byte-header WAV file of any tag/bits/channels holding `data`.
bool WriteWav(const std::string& path, int tag, int channels, int rate, int bits,
              const std::vector<uint8_t>& data);
bool WriteWav16(const std::string& path, int channels, int rate, const std::vector<int16_t>& samples);

// The samples after the 0.5 s lead of silence (checked), frames flattened.
std::vector<int16_t> AfterLead(const WavData& wav);

// `frame` repeated `frames` times.
std::vector<int16_t> Repeat(std::initializer_list<int16_t> frame, size_t frames);
// Runs a session on `input` (interleaved, `channels` wide; or on a signal
// `adjust` sets) into dir/take.wav, expecting it to succeed without overflow,
// every input frame captured, and returns the recorded file.
WavData Record(const std::string& dir, const std::vector<int16_t>& input, int channels,
               const std::function<void(RecordSessionOptions&)>& adjust = {},
               RecordSessionResult* out = nullptr);
// The non-silent frames a renderer received, as left-channel values; expects L == R.
std::vector<int16_t> Heard(CTestRenderer* render);

class PostLog : public CWindowEventListener {
  public:
    using CWindowEventListener::CWindowEventListener;
    void PostToWindow(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    std::vector<std::pair<uintptr_t, intptr_t>> Params(uint32_t message);
    int Count(uint32_t message) { return static_cast<int>(Params(message).size()); }

  private:
    std::mutex m_Lock;
    std::map<uint32_t, std::vector<std::pair<uintptr_t, intptr_t>>> m_Posts;
};

// An engine over the test driver pair with settings as the program would hold them.
class EngineRig {
  public:
    EngineRig();
    ~EngineRig();

    // The first member: it is built before the engine that uses it and goes last.
    CTestDriverFactory m_Factory;

    CAppParameter m_Params;
    PostLog m_Log;
    CAudioControl m_Audio;

    // Starts capture and monitor at `rate` with `channelMode` from `signal`,
    // delivering `blockFrames` per block, and nothing until Deliver is called.
    bool StartCapture(std::shared_ptr<CTestSignal> signal, int rate = 48000, int channelMode = 2,
                      uint32_t blockFrames = 480, bool flowControlFifo = true);
    // Lets the capture deliver `frames` more frames and waits until the sound
    // thread has processed them.
    void Deliver(uint64_t frames);
    // Waits until the record thread has written everything queued so far.
    void DrainRecord();
    CTestCapture* Capture() { return static_cast<CTestCapture*>(m_Audio.GetCapture()); }
    CTestRenderer* Render() { return static_cast<CTestRenderer*>(m_Audio.GetRender()); }

  private:
    std::atomic<uint64_t> m_Allowed{0};
    bool m_FifoFlow = true;
};

// Frame n carries n & 0x7FFF on every channel.
inline std::shared_ptr<CTestSignal> Counting(uint64_t frames) {
    return std::make_shared<CCountingSignal>(frames);
}

// A rig and a scratch folder; a take is recorded into take.wav.
class EngineTest : public ::testing::Test {
  protected:
    // Starts capture of `signalFrames` counting frames and records the take.
    bool StartTake(uint64_t signalFrames = 100000) {
        return rig.StartCapture(Counting(signalFrames)) && a.RecordStart(Take()) == 1;
    }
    // Delivers `frames` and waits until the record thread has written them.
    void Feed(uint64_t frames) {
        rig.Deliver(frames);
        rig.DrainRecord();
    }
    std::string Take() const { return dir.File("take.wav"); }
    // The file as a player finds it: a header that agrees with its length, the
    // lead, then `frames`.
    void ExpectTake(const std::vector<int16_t>& frames, const std::string& name = "take.wav");

    testutil::TempDir dir{"engine"};
    EngineRig rig;
    CAudioControl& a = rig.m_Audio;
};

// Stereo counting frames, as the counting signal gives them (frame n carries
// n & 0x7FFF on both channels): each run {first, frames} gives first, first + 1, ...
std::vector<int16_t> CountingFrames(std::initializer_list<std::pair<uint64_t, size_t>> runs);

// The values a new chain entry of the effect type starts with.
std::vector<int32_t> InitialValues(int type);

// Waits up to `ms` for `done`; true when it became true.
// Generous: a loaded machine under Wine can be ten times slower than a desk.
bool WaitFor(const std::function<bool()>& done, int ms = 60000);

} // namespace enginetest
