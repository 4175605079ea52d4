// The Layer III decoder: MPEG-1 (ISO/IEC 11172-3) and the lower sampling
// frequencies of MPEG-2 (ISO/IEC 13818-3) and MPEG-2.5, to 16-bit PCM.
//
// A decoder state is used by one thread at a time. Everything a decode
// depends on (input ring, bit reservoir, IMDCT overlap, synthesis history)
// lives in the state, so a new state starts clean and any number of states
// may decode at once. The constant tables are built once, on first use.
#pragma once

#include <cstdint>

constexpr uint32_t MP3_RING_BYTES = 16384;
constexpr uint32_t MP3_RESERVOIR_BYTES = 4096;
constexpr uint32_t MP3_MAX_FRAME_SAMPLES = 1152;

// Answers of Mp3Decode.
constexpr int MP3_ERROR = -1;        // input given but none of it fitted in the ring
constexpr int MP3_NEED_INPUT = -10;  // stopped for want of input (possibly after producing output)
constexpr int MP3_OUTPUT_FULL = -11; // stopped because the output buffer is full

struct Mp3GranuleInfo {
    uint32_t part23Length;
    uint32_t bigValues;
    uint32_t globalGain;
    uint32_t scalefacCompress;
    uint32_t windowSwitching;
    uint32_t blockType;
    uint32_t mixedBlock;
    uint32_t tableSelect[3];
    uint32_t subblockGain[3];
    uint32_t region0Count;
    uint32_t region1Count;
    uint32_t preflag;
    uint32_t scalefacScale;
    uint32_t count1Table;
};

struct Mp3SideInfo {
    uint32_t mainDataBegin;
    uint32_t privateBits;
    uint32_t scfsi[2][4];
    Mp3GranuleInfo gr[2][2]; // [granule][channel]
};

struct Mp3DecoderState {
    // Input ring: empty when the indices are equal.
    uint8_t ring[MP3_RING_BYTES];
    uint32_t readIndex;
    uint32_t writeIndex;
    uint64_t consumed;

    // Fields of the current frame header.
    uint32_t id, layer, protection, bitrateIndex, frequencyIndex, padding, privateBit, mode, modeExtension,
        copyright, original, emphasis;
    uint32_t versionSlot;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    uint32_t bandSlot;     // row of the scale-factor band tables
    uint8_t synced;        // a frame header has been read
    uint8_t inSync;        // the read index sits right after a decoded frame
    uint8_t endOfInput;    // no more input will come: decode what is complete
    uint32_t streamHeader; // stream fields of the last frame (Mp3FrameInfo::nHeader)

    Mp3SideInfo side;

    // Bit reservoir, with zero padding so that the bit reader may look ahead.
    uint8_t reservoir[MP3_RESERVOIR_BYTES + 64];
    uint32_t reservoirBytes;

    // Scale factors of the granule being decoded, per channel.
    uint8_t scaleLong[2][22];
    uint8_t scaleShort[2][13][3];
    // Lower frequencies: the intensity position that marks "not intensity coded".
    uint8_t isIllegalLong[22];
    uint8_t isIllegalShort[13];
    float intensityScale; // lower frequencies only

    int32_t quantized[2][576];
    float samples[2][576];
    uint32_t nonzero[2]; // values up to the last one Huffman decoding produced

    // PCM of the current frame, interleaved with `outChannels` channels.
    int16_t pcm[MP3_MAX_FRAME_SAMPLES * 2];
    uint32_t pcmFrames;    // sample frames in the current frame
    uint32_t pending;      // sample frames of it already handed out
    uint32_t outChannels;  // fixed by the first frame (or preset by the caller): 1 or 2
    uint32_t lastChannels; // channels of the previous frame

    float overlap[2][32][20];   // 18 values per subband, padded for vector code
    float synthBuffer[2][2048]; // 1024 values of history, stored twice
    uint32_t synthOffset[2];
};

// Stores `input` in the ring (as much as fits), then, with an output buffer,
// decodes into it: first what is left of the current frame, then whole frames.
// `produced` receives the bytes written. Input may be null to decode only
// what is buffered. Answers MP3_ERROR, MP3_NEED_INPUT, MP3_OUTPUT_FULL, or 0
// when the output filled before any frame header was read / no output given.
int Mp3Decode(Mp3DecoderState* state, const uint8_t* input, uint32_t inputBytes, uint8_t* output,
              uint32_t outputBytes, uint32_t* produced);
// No more input will follow: from now on a frame is decoded as soon as its
// own bytes are buffered, so the last frames of a stream come out.
void Mp3DecodeSetEndOfInput(Mp3DecoderState* state);
// Bytes buffered in the input ring.
uint32_t Mp3DecodeBuffered(const Mp3DecoderState* state);
// 1 while decoded sample frames wait to be handed out.
int Mp3DecodeHasPending(const Mp3DecoderState* state);
