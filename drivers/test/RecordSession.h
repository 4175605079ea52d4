// One recording run of the real engine over the test driver pair: what
// `sonvel-tool record`, the engine tests and the benchmark drive. The capture
// side delivers a signal (a WAV file's frames, a tone, or any CTestSignal) as
// fast as the engine takes the blocks without losing any, or paced like a
// device; a test renderer pulls the monitor path.
#pragma once

#include "drivers/test/CTestDriverFactory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAudioControl;
class CEffectManager;

struct RecordSessionOptions {
    std::string outPath; // the record file (UTF-8)

    // ---- the capture source: one of these
    std::shared_ptr<CTestSignal> signal; // any signal (its channels follow the capture)
    std::vector<int16_t> inputSamples;   // frames loaded by LoadInput
    int inputChannels = 0;
    double toneHz = 0;

    double seconds = 0;  // stop after this much audio; 0: the whole input (a tone: 5 s)
    int rate = 48000;    // capture rate (an input file's own rate replaces it)
    int channelMode = 0; // 1..4; 0: the input's channel count, else 2
    int recFileChannel = 1;
    int boostOn = 0;
    int boostLevel = 0;
    bool floatCapture = false;
    uint32_t blockFrames = 0; // frames per captured block; 0: 10 ms
    bool realtime = false;

    std::string chainPath;                 // an effect chain file; effects on when given
    CEffectManager* effectChain = nullptr; // else this chain (not owned); effects on when given
    bool effectsOn = false;                // effects on even without a chain (the block is silenced)

    std::string playPath; // a play file mixed into the recording
    int playFileMode = 1;
    int playGain = 8;
    int playDelay = 0;
    bool voiceCancel = false;

    bool withRenderer = true;
    bool monitor = true;
    size_t rendererKeepBytes = 64u << 20; // what the test renderer keeps of what it played

    // Called about every 50 ms while the capture runs (tests look at memory).
    std::function<void(CAudioControl&, uint64_t capturedFrames)> onProgress;

    // Loads a 16-bit PCM WAV file as the capture source; its rate and channel
    // count become the capture's.
    bool LoadInput(const std::string& path, std::string* error);
    void SetTone(double hz) { toneHz = hz; }
};

struct RecordSessionResult {
    uint64_t capturedFrames = 0; // frames the capture driver delivered
    uint64_t recordedFrames = 0; // frames of captured audio in the file (the lead not counted)
    uint32_t overflows = 0;      // FIFO overflows (each loses the FIFO's content)
    int recordParts = 0;
    bool writeFailed = false;
    bool playEnded = false;
    std::vector<uint8_t> monitorBytes; // what the renderer received (up to 64 MiB)
};

// 1 when the run completed (the file closed); 0 with `error` set when it could
// not start (bad input, a play file at another rate, a file that cannot be created).
int RunRecordSession(const RecordSessionOptions& options, RecordSessionResult* result, std::string* error);
