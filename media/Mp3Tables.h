// Constant tables of Layer III decoding (ISO/IEC 11172-3, with the lower
// sampling frequencies of ISO/IEC 13818-3 and the 8/11.025/12 kHz extension).
#pragma once

#include <cstdint>

namespace mp3 {

struct HuffCode {
    uint32_t code;
    uint8_t length;
};

struct HuffTableInfo {
    uint8_t size;          // values per axis (x and y run 0 .. size-1); 0 for a table of zeros
    uint8_t linbits;       // extra bits after a 15
    const HuffCode* codes; // size * size entries, x-major
};

extern const HuffTableInfo kHuffTables[32];
extern const HuffTableInfo kCount1Tables[2]; // quadruples, index v*8 + w*4 + x*2 + y
extern const int32_t kSynthWindow[512];      // D[i] * 65536

// Scale-factor band boundaries, indexed by sampling-frequency slot:
// 0-2 MPEG-1 44.1/48/32 kHz, 3-5 MPEG-2 22.05/24/16 kHz, 6-8 11.025/12/8 kHz.
struct BandTable {
    uint16_t longBounds[23];
    uint16_t shortBounds[14];
};
extern const BandTable kBands[9];

// Boost of the upper long bands when preflag is set.
inline constexpr uint8_t kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// MPEG-1 scalefac_compress -> (slen1, slen2).
inline constexpr uint8_t kSlen[2][16] = {{0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4},
                                         {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3}};

// Lower sampling frequencies: scale factors per slen group, by the six ways of
// splitting scalefac_compress and the block kind (long, short, mixed).
inline constexpr uint8_t kLsfBandCounts[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},       {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},     {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}}};

// Bit rates in kbit/s: [lsf][layer - 1][index].
extern const uint16_t kBitrates[2][3][16];
// Sampling frequencies in Hz: [version slot: 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5][index].
extern const uint32_t kFrequencies[3][3];

} // namespace mp3
