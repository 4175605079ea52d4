// sonvel-tool record: runs the real engine with the test driver pair, capturing
// from a WAV file or a tone, recording to OUT.wav, optionally mixing a play
// file, so the whole audio path runs without a sound card.
#include "tools/sonvel-tool/Tool.h"

#include "drivers/test/CTestDriverFactory.h"
#include "effects/CEffectManager.h"
#include "engine/CAudioControl.h"
#include "engine/CWindowEventListener.h"
#include "drivers/test/RecordSession.h"
#include "media/CWaveFile.h"
#include "platform/Platform.h"
#include "settings/CAppParameter.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const char* const kUsage =
    "record --out OUT.wav (--input IN.wav | --tone HZ) [--seconds S] [--rate HZ] [--channels 1..4] "
    "[--rec-file-channel 0|1] [--boost LEVEL] [--float] [--chain CHAIN.xml] [--play FILE] [--play-mode 0..3] "
    "[--play-gain 1..16] [--play-delay S] [--voice-cancel] [--realtime] [--trace]";

bool ToInt(const std::string& text, long lo, long hi, int* out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

bool ToDouble(const std::string& text, double lo, double hi, double* out) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(v >= lo && v <= hi)) return false;
    *out = v;
    return true;
}

int Record(const std::vector<std::string>& args) {
    RecordSessionOptions o;
    std::string input;
    double tone = 0;
    int boost = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string v;
        bool ok = true;
        if (a == "--out")
            ok = value(&o.outPath);
        else if (a == "--input")
            ok = value(&input);
        else if (a == "--tone")
            ok = value(&v) && ToDouble(v, 1, 200000, &tone);
        else if (a == "--seconds")
            ok = value(&v) && ToDouble(v, 0, 86400, &o.seconds);
        else if (a == "--rate")
            ok = value(&v) && ToInt(v, 8000, 96000, &o.rate);
        else if (a == "--channels")
            ok = value(&v) && ToInt(v, 1, 4, &o.channelMode);
        else if (a == "--rec-file-channel")
            ok = value(&v) && ToInt(v, 0, 1, &o.recFileChannel);
        else if (a == "--boost")
            ok = value(&v) && ToInt(v, 0, 30, &boost);
        else if (a == "--float")
            o.floatCapture = true;
        else if (a == "--chain")
            ok = value(&o.chainPath);
        else if (a == "--play")
            ok = value(&o.playPath);
        else if (a == "--play-mode")
            ok = value(&v) && ToInt(v, 0, 3, &o.playFileMode);
        else if (a == "--play-gain")
            ok = value(&v) && ToInt(v, 1, 16, &o.playGain);
        else if (a == "--play-delay")
            ok = value(&v) && ToInt(v, -86400, 86400, &o.playDelay);
        else if (a == "--voice-cancel")
            o.voiceCancel = true;
        else if (a == "--realtime")
            o.realtime = true;
        else if (a == "--trace")
            plat::SetTraceSink(ToolTraceToStderr, nullptr);
        else
            return ToolFail("unknown option %s\nusage: %s", a.c_str(), kUsage);
        if (!ok) return ToolFail("bad or missing value for %s\nusage: %s", a.c_str(), kUsage);
    }
    if (o.outPath.empty() || input.empty() == (tone == 0)) return ToolFail("usage: %s", kUsage);
    if (boost >= 0) {
        o.boostOn = 1;
        o.boostLevel = boost;
    }

    std::string error;
    if (!input.empty()) {
        if (!o.LoadInput(input, &error)) return ToolFail("%s", error.c_str());
    } else {
        o.SetTone(tone);
    }

    RecordSessionResult r;
    if (!RunRecordSession(o, &r, &error)) return ToolFail("%s", error.c_str());
    std::printf("captured_frames: %" PRIu64 "\n", r.capturedFrames);
    std::printf("recorded_frames: %" PRIu64 "\n", r.recordedFrames);
    std::printf("overflows: %u\n", r.overflows);
    return r.writeFailed ? 1 : 0;
}

ToolRegistrar reg("record", kUsage, Record);
} // namespace
