// Pieces of the Layer III decoder shared between its source files.
#pragma once

#include <cstdint>

namespace mp3 {

// MSB-first reader over a buffer that has at least 8 readable bytes past
// any position it is asked about (the reservoir's padding).
struct BitReader {
    const uint8_t* data;
    uint32_t pos;  // in bits

    uint32_t Peek(uint32_t n) const {  // 1 <= n <= 32
        const uint8_t* p = data + (pos >> 3);
        uint64_t v = (uint64_t(p[0]) << 56) | (uint64_t(p[1]) << 48) | (uint64_t(p[2]) << 40) |
                     (uint64_t(p[3]) << 32) | (uint64_t(p[4]) << 24) | (uint64_t(p[5]) << 16) |
                     (uint64_t(p[6]) << 8) | uint64_t(p[7]);
        v <<= (pos & 7);
        return uint32_t(v >> (64 - n));
    }
    uint32_t Get(uint32_t n) {
        if (n == 0) return 0;
        uint32_t v = Peek(n);
        pos += n;
        return v;
    }
};

// Huffman-decodes the big-values and count1 parts of one granule and channel
// into `out` (576 signed integers, zeros beyond the last decoded value).
// The reader stops by `endBit`. Returns the count of values up to the last
// decoded one.
uint32_t DecodeSpectrum(BitReader& br, uint32_t endBit, const uint32_t tableSelect[3], uint32_t bigValues,
                        uint32_t region1Start, uint32_t region2Start, uint32_t count1Table, int32_t* out);

// |x|^(4/3) for 0 <= x < 8207.
const float* Pow43Table();

// Alias reduction, IMDCT with overlap-add and frequency inversion for one
// granule of one channel. `xr` is in subband order (18 values per subband,
// short blocks already reordered); the result, 18 time slots of 32 subband
// samples, goes to `out` (slot-major).
void HybridSynthesis(float* xr, float overlap[32][18], uint32_t blockType, uint32_t mixed, uint32_t nonzero,
                     float out[18][32]);
// Polyphase synthesis of 18 time slots into `pcm` (every `stride`-th value).
void PolyphaseSynthesis(const float in[18][32], float* buffer, uint32_t* offset, int16_t* pcm, uint32_t stride);

}  // namespace mp3
