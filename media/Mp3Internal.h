// Pieces of the Layer III decoder shared between its source files.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace mp3 {

inline uint64_t ToBigEndian(uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) {
#if defined(__GNUC__)
        return __builtin_bswap64(v);
#else
        v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
        v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
        return (v << 32) | (v >> 32);
#endif
    }
    return v;
}

// MSB-first reader over a buffer that has at least 8 readable bytes past
// any position it is asked about (the reservoir's padding).
struct BitReader {
    const uint8_t* data;
    uint32_t pos; // in bits

    uint32_t Peek(uint32_t n) const { // 1 <= n <= 32
        uint64_t v;
        std::memcpy(&v, data + (pos >> 3), 8);
        v = ToBigEndian(v) << (pos & 7);
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

// sign(x) |x|^(4/3) for -8206 <= x <= 8206 (the pointer is to x = 0).
const float* Pow43Table();

// Alias reduction, IMDCT with overlap-add and frequency inversion for one
// granule of one channel. `xr` is in subband order (18 values per subband,
// short blocks already reordered); the result, 32 subbands of 18 time slots
// (rows padded to 20 with zeros), goes to `out`.
void HybridSynthesis(float* xr, float overlap[32][20], uint32_t blockType, uint32_t mixed, uint32_t nonzero,
                     float out[32][20]);
// Polyphase synthesis of the 18 time slots into `pcm` (576 values of one channel).
void PolyphaseSynthesis(const float in[32][20], float* buffer, uint32_t* offset, int16_t* pcm);

} // namespace mp3
